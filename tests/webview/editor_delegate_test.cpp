// The editor delegate bases: the plain delegate's defaults, and the web delegate's window,
// resize and life-cycle operations on the test plug-in.
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include "framework/editor_delegate.h"
#include "plugin_fixture.h"

namespace {

using namespace fake;
using ::testing::ElementsAre;

// The root delegate alone, without a web page.
class PlainDelegate : public plugkit::IEditorDelegate {
 public:
  PlainDelegate() : IEditorDelegate(3) {}
  void BeginParamGestureFromUI(int32_t) override {}
  void EndParamGestureFromUI(int32_t) override {}
  void OnParamChange(int32_t paramIdx, plugkit::ParamChangeOrigin origin, int32_t sampleOffset) override {
    calls.push_back("OnParamChange(" + std::to_string(paramIdx) + "," + std::to_string(static_cast<int>(origin)) + "," +
                    std::to_string(sampleOffset) + ")");
  }
  void OnUIParamChanged(int32_t paramIdx, plugkit::ParamChangeOrigin origin) override {
    calls.push_back("OnUIParamChanged(" + std::to_string(paramIdx) + "," + std::to_string(static_cast<int>(origin)) +
                    ")");
  }
  bool HandleUIMessage(int32_t msgTag, int32_t ctrlTag, int32_t dataSize, const void*) override {
    calls.push_back("HandleUIMessage(" + std::to_string(msgTag) + "," + std::to_string(ctrlTag) + "," +
                    std::to_string(dataSize) + ")");
    return true;
  }
  void OnMidiForUI(const plugkit::MidiMessage& message) override {
    calls.push_back("OnMidiForUI(" + std::to_string(message.status) + ")");
  }
  std::vector<std::string> calls;
};

TEST(EditorDelegate, WithoutAPageMessagesGoToThePlugInClass) {
  PlainDelegate delegate;
  const uint8_t byte = 1;
  delegate.SendArbitraryMsgToUI(9, 1, &byte);
  delegate.SendControlMsgToUI(4, 9, 1, &byte);
  delegate.SendMidiMsgToUI(plugkit::MidiMessage{0, 0x80, 1, 2});
  delegate.SendParamValueToUI(2, 0.5, true);
  EXPECT_THAT(delegate.calls, ElementsAre("HandleUIMessage(9,-1,1)", "HandleUIMessage(9,4,1)", "OnMidiForUI(128)",
                                          "OnUIParamChanged(2,4)"));
}

TEST(EditorDelegate, NotifyAllParamsChangedVisitsEachParameterInOrder) {
  PlainDelegate delegate;
  delegate.NotifyAllParamsChanged(plugkit::ParamChangeOrigin::Preset);
  EXPECT_THAT(delegate.calls, ElementsAre("OnParamChange(0,2,-1)", "OnUIParamChanged(0,2)", "OnParamChange(1,2,-1)",
                                          "OnUIParamChanged(1,2)", "OnParamChange(2,2,-1)", "OnUIParamChanged(2,2)"));
}

TEST(EditorDelegate, ParametersAndSizeBounds) {
  PlainDelegate delegate;
  EXPECT_EQ(delegate.NParams(), 3);
  EXPECT_NE(delegate.GetParam(2), nullptr);
  EXPECT_EQ(delegate.GetParam(3), nullptr);
  EXPECT_EQ(delegate.GetParam(-1), nullptr);
  EXPECT_EQ(delegate.EditorWidth(), 0);
  EXPECT_EQ(delegate.EditorMinWidth(), 10);
  EXPECT_EQ(delegate.EditorMaxHeight(), 100000);

  delegate.SetEditorSizeBounds(680, 680, 588, 588);
  int32_t width = 1000;
  int32_t height = 200;
  EXPECT_FALSE(delegate.ConstrainEditorSize(width, height));
  EXPECT_EQ(width, 680);
  EXPECT_EQ(height, 588);
  EXPECT_TRUE(delegate.ConstrainEditorSize(width, height));

  // The plain delegate sets the parameter itself; its attach only opens the editor.
  delegate.SetParamValueFromUI(0, 0.25);
  EXPECT_EQ(delegate.GetParam(0)->Value(), 0.25);
  EXPECT_EQ(delegate.AttachEditorWindow(kParentWindow), nullptr);
  plugkit::KeyEvent space;
  space.VK = 32;
  EXPECT_FALSE(delegate.HandleKeyDown(space));
  EXPECT_FALSE(delegate.HandleKeyUp(space));
}

using WebViewEditorDelegateTest = PluginFixture;

TEST_F(WebViewEditorDelegateTest, AttachOpensTheBrowserAtTheEditorSize) {
  desktop.windowDpi[kParentWindow] = 144;
  EXPECT_EQ(plugin->AttachEditorWindow(kParentWindow), kParentWindow);
  EXPECT_EQ(plugin->EditorWindow(), kParentWindow);
  EXPECT_EQ(desktop.LogLines(plugkit::webview::kWebViewLogName)[0],
            "OpenWebView initial bounds=0,0,1021,883 scale=1.000000");
  browser.CompleteEnvironment(kOk, true);
  browser.CompleteController(kOk, true);
  EXPECT_EQ(browser.LastController()->bounds.right, 1021);
}

TEST_F(WebViewEditorDelegateTest, ResizeMovesTheBrowserAndTellsTheDelegate) {
  OpenEditor();
  plugin->calls.clear();
  plugin->ParentWindowResized(400, 300);
  EXPECT_EQ(browser.journal.back(), "Controller.put_Bounds(0,0,401,301)");
  EXPECT_THAT(plugin->calls, ElementsAre("ResizeEditorFromUI(400,300,0)"));
}

TEST_F(WebViewEditorDelegateTest, DetachClosesTheBrowserAndTheDelegateLivesOn) {
  OpenEditor();
  plugin->DetachEditorWindow();
  EXPECT_TRUE(browser.LastController()->closed);
  EXPECT_EQ(plugin->EditorWindow(), nullptr);
  EXPECT_TRUE(browser.Balanced());

  // Opening again builds a new browser and loads the page again.
  OpenEditor();
  EXPECT_EQ(browser.ControllerCount(), 2u);
  EXPECT_EQ(desktop.LogLines(plugkit::webview::kUiLogName).size(), 2u);
}

TEST_F(WebViewEditorDelegateTest, DestroyedWhileTheControllerIsOnItsWay) {
  plugin->AttachEditorWindow(kParentWindow);
  browser.CompleteEnvironment(kOk, true);
  plugin.reset();
  browser.CompleteController(kOk, true);
  EXPECT_TRUE(browser.LastController()->closed);
}

}  // namespace
