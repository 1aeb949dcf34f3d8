#include "framework/web_view_editor_delegate.h"

#include <algorithm>
#include <string>
#include <variant>

#include "webview/desktop_services.h"
#include "webview/page_message.h"
#include "webview/page_script_calls.h"
#include "webview/param_list.h"

namespace plugkit {

namespace {
constexpr int32_t kSpaceKey = 32;
}  // namespace

WebViewEditorDelegate::WebViewEditorDelegate(int32_t paramCount)
    : IEditorDelegate(paramCount), IWebView(/*enableDevTools=*/false) {}

WebViewEditorDelegate::~WebViewEditorDelegate() {
  CloseBrowser();
  editorInitCallback_ = nullptr;
}

void* WebViewEditorDelegate::AttachEditorWindow(void* parentWindow) {
  editorWindow_ =
      OpenWebView(parentWindow, 0, 0, static_cast<float>(EditorWidth()), static_cast<float>(EditorHeight()), 1.0f);
  return editorWindow_;
}

void WebViewEditorDelegate::DetachEditorWindow() {
  CloseBrowser();
  // The host destroys the window after this: nothing may be posted to it any more.
  editorWindow_ = nullptr;
}

void WebViewEditorDelegate::ParentWindowResized(int32_t width, int32_t height) {
  ResizeBrowser(0, 0, static_cast<float>(width), static_cast<float>(height));
  ResizeEditorFromUI(width, height, false);
}

bool WebViewEditorDelegate::HandleKeyDown(const KeyEvent& key) {
  if (key.VK != kSpaceKey || editorWindow_ == nullptr) return false;
  webview::CurrentDesktop().PostSpaceKeyDown(editorWindow_);
  return true;
}

bool WebViewEditorDelegate::HandleKeyUp(const KeyEvent&) { return true; }

void WebViewEditorDelegate::SendControlValueToUI(int32_t ctrlTag, double value) {
  RunPageScript(ControlValueScript(ctrlTag, value).c_str());
}

void WebViewEditorDelegate::SendControlMsgToUI(int32_t ctrlTag, int32_t msgTag, int32_t dataSize, const void* data) {
  RunPageScript(ControlMessageScript(ctrlTag, msgTag, dataSize, data).c_str());
}

void WebViewEditorDelegate::SendArbitraryMsgToUI(int32_t msgTag, int32_t dataSize, const void* data) {
  RunPageScript(ArbitraryMessageScript(msgTag, dataSize, data).c_str());
}

void WebViewEditorDelegate::SendMidiMsgToUI(const MidiMessage& message) {
  RunPageScript(MidiMessageScript(message).c_str());
}

void WebViewEditorDelegate::SendParamValueToUI(int32_t paramIdx, double value, bool isNormalised) {
  if (!isNormalised) {
    const IParam* param = GetParam(paramIdx);
    if (param == nullptr) return;
    value = param->NormaliseValue(value);
  }
  RunPageScript(ParamValueScript(paramIdx, value).c_str());
}

void WebViewEditorDelegate::OnBrowserReady() {
  if (editorInitCallback_) editorInitCallback_();
}

void WebViewEditorDelegate::OnWebContentLoaded() {
  const std::string list = ParamListJson(Params(), NParams());
  if (!list.empty()) SendArbitraryMsgToUI(kParamListTag, static_cast<int32_t>(list.size()), list.data());
  OnEditorOpened();
}

void WebViewEditorDelegate::OnPageMessage(const char* json) {
  const PageMessage message = ParsePageMessage(json);
  if (const auto* value = std::get_if<ParamValueFromPage>(&message)) {
    // A page may send any number; hosts only take 0..1.
    if (GetParam(value->paramIdx) != nullptr) SetParamValueFromUI(value->paramIdx, std::clamp(value->value, 0.0, 1.0));
  } else if (const auto* gesture = std::get_if<ParamGestureFromPage>(&message)) {
    // Passed on unchecked: the host decides what an unknown index means.
    if (gesture->begin)
      BeginParamGestureFromUI(gesture->paramIdx);
    else
      EndParamGestureFromUI(gesture->paramIdx);
  } else if (const auto* arbitrary = std::get_if<ArbitraryMessageFromPage>(&message)) {
    ForwardMsgFromUI(arbitrary->msgTag, arbitrary->ctrlTag, static_cast<int32_t>(arbitrary->data.size()),
                     arbitrary->data.empty() ? nullptr : arbitrary->data.data());
  } else if (const auto* midi = std::get_if<MidiFromPage>(&message)) {
    ForwardMidiFromUI(midi->message);
  } else if (const auto* key = std::get_if<KeyFromPage>(&message)) {
    if (key->isUp)
      HandleKeyUp(key->key);
    else
      HandleKeyDown(key->key);
  }
}

}  // namespace plugkit
