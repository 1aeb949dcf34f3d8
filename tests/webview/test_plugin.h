// A plug-in class for tests on the editor delegate bases, so that the page protocol runs on
// the same object as the parameters, as in the real plug-ins. It has three parameters
// (gain -12..12 dB, a three-way mode, a switch), guards navigation like the plug-ins, and
// stands in for the host side by recording what reaches it.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "framework/web_view_editor_delegate.h"
#include "webview/navigation_guard.h"
#include "webview/web_root.h"

namespace fake {

class TestPlugin : public plugkit::WebViewEditorDelegate {
 public:
  TestPlugin() : WebViewEditorDelegate(3) {
    GetParam(0)->SetupContinuous("Gain", 0.0, -12.0, 12.0, 0.1, "dB");
    GetParam(1)->SetupChoiceList("Mode", 1, {"Sing", "Speak", "Shout"});
    GetParam(2)->SetupSwitch("On", true);
    for (int32_t i = 0; i < NParams(); ++i) GetParam(i)->SetValue(GetParam(i)->Default());
    SetEditorSize(680, 588);
    SetEditorSizeBounds(680, 680, 588, 588);
    SetEditorInitCallback([this] { plugkit::LoadWebUI(*this); });
  }

  bool MayNavigateTo(const char* url) override { return plugkit::MayNavigateWithinWebFolder(*this, url); }

  // The host side, as the API base and the binding would reach it.
  void BeginParamGestureFromUI(int32_t paramIdx) override { Log("BeginGesture(" + std::to_string(paramIdx) + ")"); }
  void EndParamGestureFromUI(int32_t paramIdx) override { Log("EndGesture(" + std::to_string(paramIdx) + ")"); }
  void SetParamValueFromUI(int32_t paramIdx, double normalised) override {
    hostValues.push_back({paramIdx, normalised});
    WebViewEditorDelegate::SetParamValueFromUI(paramIdx, normalised);
  }
  void ForwardMidiFromUI(const plugkit::MidiMessage& message) override { midiFromPage.push_back(message); }
  void ForwardMsgFromUI(int32_t msgTag, int32_t ctrlTag, int32_t dataSize, const void* data) override {
    HandleUIMessage(msgTag, ctrlTag, dataSize, data);
  }
  bool HandleUIMessage(int32_t msgTag, int32_t ctrlTag, int32_t dataSize, const void* data) override {
    const auto* bytes = static_cast<const uint8_t*>(data);
    messages.push_back(
        {msgTag, ctrlTag, dataSize, data == nullptr, std::vector<uint8_t>(bytes, bytes + (data ? dataSize : 0))});
    return true;
  }
  bool ResizeEditorFromUI(int32_t width, int32_t height, bool resizeHost) override {
    Log("ResizeEditorFromUI(" + std::to_string(width) + "," + std::to_string(height) + "," +
        std::to_string(resizeHost) + ")");
    return true;
  }
  bool HandleKeyDown(const plugkit::KeyEvent& key) override {
    keys.push_back({key, false});
    keyResults.push_back(WebViewEditorDelegate::HandleKeyDown(key));
    return keyResults.back();
  }
  bool HandleKeyUp(const plugkit::KeyEvent& key) override {
    keys.push_back({key, true});
    keyResults.push_back(WebViewEditorDelegate::HandleKeyUp(key));
    return keyResults.back();
  }
  void OnUIParamChanged(int32_t paramIdx, plugkit::ParamChangeOrigin origin) override {
    Log("OnUIParamChanged(" + std::to_string(paramIdx) + "," + std::to_string(static_cast<int>(origin)) + ")");
  }
  void ParamChanged(int32_t paramIdx) override { Log("ParamChanged(" + std::to_string(paramIdx) + ")"); }
  void OnEditorOpened() override {
    Log("OnEditorOpened");
    WebViewEditorDelegate::OnEditorOpened();
  }

  void Log(std::string call) { calls.push_back(std::move(call)); }

  struct HostValue {
    int32_t paramIdx;
    double normalised;
  };
  struct Message {
    int32_t msgTag;
    int32_t ctrlTag;
    int32_t dataSize;
    bool noData;
    std::vector<uint8_t> data;
  };
  struct Key {
    plugkit::KeyEvent event;
    bool up;
  };
  std::vector<std::string> calls;
  std::vector<HostValue> hostValues;
  std::vector<plugkit::MidiMessage> midiFromPage;
  std::vector<Message> messages;
  std::vector<Key> keys;
  std::vector<bool> keyResults;
};

}  // namespace fake
