// The real-browser backend proven on the test plug-in: its web view host starts headless
// Chromium through the loader entry, loads a small page from the web folder and carries the
// page protocol both ways; navigations pass the plug-in's guard, nothing reaches the network,
// and closing the editor ends the browser.
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <algorithm>
#include <memory>
#include <string>

#include "browser_test_support.h"
#include "webview/fake_desktop.h"
#include "webview/test_plugin.h"
#include "webview/web_view_log.h"

namespace {

using namespace tarnwell::browser;
using ::testing::Contains;
using ::testing::HasSubstr;

void* const kThisModule = reinterpret_cast<void*>(uintptr_t{0x7700});
void* const kParentWindow = reinterpret_cast<void*>(uintptr_t{0x5100});

class FixturePage : public ::testing::Test {
 protected:
  void SetUp() override {
    SKIP_WITHOUT_CHROMIUM();
    desktop.moduleOfThisCode = kThisModule;
    desktop.resourceFolders[kThisModule] = FIXTURE_RESOURCES "/";
    plugin = std::make_unique<fake::TestPlugin>();
  }

  void TearDown() override {
    page.reset();
    plugin.reset();
    // Every browser process ends with its editor.
    EXPECT_TRUE(WaitUntil([] { return RunningBrowsers().empty(); }));
  }

  int Openings() const {
    return static_cast<int>(std::count(plugin->calls.begin(), plugin->calls.end(), "OnEditorOpened"));
  }

  void OpenEditor() {
    const int before = Openings();
    ASSERT_EQ(plugin->AttachEditorWindow(kParentWindow), kParentWindow);
    ASSERT_TRUE(WaitUntil([&] { return Openings() > before; })) << LogText();
    page = LatestPage();
    ASSERT_NE(page, nullptr);
  }

  int Received() { return page->Evaluate("received.length").get<int>(); }

  std::string LogText() const {
    std::string text;
    for (const std::string& line : desktop.LogLines(plugkit::webview::kWebViewLogName)) text += line + "\n";
    return text;
  }

  fake::FakeDesktop desktop;
  std::unique_ptr<fake::TestPlugin> plugin;
  std::shared_ptr<BrowserPage> page;
};

TEST_F(FixturePage, TheLoadedPageGetsTheParameterListThenEveryValue) {
  ASSERT_NO_FATAL_FAILURE(OpenEditor());
  ASSERT_TRUE(WaitUntil([&] { return Received() >= 4; }));
  const Json received = page->Evaluate("received");
  ASSERT_EQ(received[0][0], "SAMFD");
  EXPECT_EQ(received[0][1], -1);
  const Json list = page->Evaluate("JSON.parse(atob(received[0][3]))");
  EXPECT_EQ(list["id"], "params");
  ASSERT_EQ(list["params"].size(), 3u);
  EXPECT_EQ(list["params"][0]["name"], "Gain");
  EXPECT_EQ(list["params"][1]["name"], "Mode");
  // Then the values, normalised: 0 dB of -12..12, "Speak" of three, the switch on.
  EXPECT_EQ(received[1], Json::parse(R"(["SPVFD", 0, 0.5])"));
  EXPECT_EQ(received[2], Json::parse(R"(["SPVFD", 1, 0.5])"));
  EXPECT_EQ(received[3], Json::parse(R"(["SPVFD", 2, 1])"));

  // The injected scripts ran before the page's, and the style sheet came from the folder.
  EXPECT_EQ(page->Evaluate("typeof IPluginSendMsg"), "function");
  EXPECT_EQ(page->Evaluate("getComputedStyle(document.body).backgroundColor"), "rgb(10, 20, 30)");
  const std::string log = LogText();
  EXPECT_THAT(log, HasSubstr("NavigationStarting uri=https://plugin.tarnwell.example/index.html"));
  EXPECT_THAT(log, HasSubstr("NavigationCompleted success=1 status=0"));
  EXPECT_TRUE(page->BlockedRequests().empty());
  EXPECT_TRUE(page->ScriptErrors().empty()) << page->ScriptErrors().front();
}

TEST_F(FixturePage, ClicksAndKeysInThePageReachThePlugIn) {
  ASSERT_NO_FATAL_FAILURE(OpenEditor());
  page->Click("#gain");
  ASSERT_TRUE(WaitUntil([&] { return !plugin->hostValues.empty(); }));
  EXPECT_EQ(plugin->hostValues[0].paramIdx, 0);
  EXPECT_EQ(plugin->hostValues[0].normalised, 0.75);
  EXPECT_DOUBLE_EQ(plugin->GetParam(0)->Value(), 6.0);

  page->Click("#hello");
  ASSERT_TRUE(WaitUntil([&] { return !plugin->messages.empty(); }));
  EXPECT_EQ(plugin->messages[0].msgTag, 7);
  EXPECT_EQ(plugin->messages[0].ctrlTag, 2);
  EXPECT_EQ(std::string(plugin->messages[0].data.begin(), plugin->messages[0].data.end()), "hello");

  // Keys typed outside a text field come through the injected key scripts.
  page->PressKey(65, "a");
  ASSERT_TRUE(WaitUntil([&] { return plugin->keys.size() >= 2; }));
  EXPECT_EQ(plugin->keys[0].event.VK, 65);
  EXPECT_STREQ(plugin->keys[0].event.utf8, "a");
  EXPECT_FALSE(plugin->keys[0].up);
  EXPECT_TRUE(plugin->keys[1].up);
}

TEST_F(FixturePage, ThePlugInsScriptCallsRunInThePage) {
  ASSERT_NO_FATAL_FAILURE(OpenEditor());
  ASSERT_TRUE(WaitUntil([&] { return Received() >= 4; }));
  plugin->SendParamValueToUI(0, 0.25, true);
  plugin->SendControlValueToUI(3, 0.5);
  plugin->SendMidiMsgToUI(plugkit::MidiMessage{0, 0x90, 60, 100});
  const char abc[] = "abc";
  plugin->SendArbitraryMsgToUI(9, 3, abc);
  plugin->SendControlMsgToUI(4, 11, 1, abc);
  ASSERT_TRUE(WaitUntil([&] { return Received() >= 9; }));
  const Json received = page->Evaluate("received.slice(4)");
  EXPECT_EQ(received[0], Json::parse(R"(["SPVFD", 0, 0.25])"));
  EXPECT_EQ(received[1], Json::parse(R"(["SCVFD", 3, 0.5])"));
  EXPECT_EQ(received[2], Json::parse(R"(["SMMFD", 144, 60, 100])"));
  EXPECT_EQ(received[3], Json::parse(R"(["SAMFD", 9, 5, "YWJj"])"));
  EXPECT_EQ(received[4], Json::parse(R"(["SCMFD", 4, 11, 1, "YQ=="])"));
  EXPECT_TRUE(page->ScriptErrors().empty()) << page->ScriptErrors().front();
}

TEST_F(FixturePage, NavigationsPassTheGuardAndNothingReachesTheNetwork) {
  ASSERT_NO_FATAL_FAILURE(OpenEditor());
  const int completed = page->CompletedNavigations();
  // Another site: refused by the guard before any request leaves.
  page->Click("#away");
  ASSERT_TRUE(WaitUntil([&] { return page->CompletedNavigations() > completed; }));
  EXPECT_THAT(LogText(), HasSubstr("NavigationStarting uri=https://example.com/"));
  EXPECT_THAT(LogText(), HasSubstr("NavigationCompleted success=0 status=14"));
  EXPECT_EQ(page->Evaluate("location.pathname"), "/index.html");
  EXPECT_TRUE(page->BlockedRequests().empty());

  // Another page of the folder is allowed and gets the parameter list again; its image on
  // another host is refused.
  page->Click("#second");
  ASSERT_TRUE(WaitUntil([&] { return Openings() == 2; }));
  EXPECT_EQ(page->Evaluate("location.pathname"), "/second.html");
  ASSERT_TRUE(WaitUntil([&] { return Received() >= 4; }));
  EXPECT_THAT(page->BlockedRequests(), Contains("https://example.com/pixel.png"));

  // A file that is not there fails the navigation: no parameter list for it.
  const int before = page->CompletedNavigations();
  page->Evaluate("location.href = 'missing.html'");
  ASSERT_TRUE(WaitUntil([&] { return page->CompletedNavigations() > before; }));
  EXPECT_THAT(LogText(), HasSubstr("NavigationCompleted success=0 status=0"));
  EXPECT_EQ(Openings(), 2);
}

TEST_F(FixturePage, ClosingTheEditorEndsTheBrowserAndReopeningStartsAnother) {
  ASSERT_NO_FATAL_FAILURE(OpenEditor());
  page.reset();
  plugin->DetachEditorWindow();
  ASSERT_TRUE(WaitUntil([] { return RunningBrowsers().empty(); }));
  ASSERT_NO_FATAL_FAILURE(OpenEditor());
  ASSERT_TRUE(WaitUntil([&] { return Received() >= 4; }));
  EXPECT_EQ(RunningBrowsers().size(), 1u);
}

}  // namespace
