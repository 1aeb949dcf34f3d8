// WebViewEditorDelegate: the editor delegate whose editor is a web page in the browser. It
// opens the browser in the host's window, sends parameter values, messages and MIDI to the
// page as script calls, and dispatches the messages the page posts.
#pragma once

#include <cstdint>
#include <functional>

#include "framework/editor_delegate.h"
#include "webview/web_view.h"

namespace plugkit {

class WebViewEditorDelegate : public IEditorDelegate, public IWebView {
 public:
  explicit WebViewEditorDelegate(int32_t paramCount);
  ~WebViewEditorDelegate() override;

  // Run when the browser is ready; each plug-in class loads its page from here.
  void SetEditorInitCallback(std::function<void()> callback) { editorInitCallback_ = std::move(callback); }
  // The window the editor was attached to; null while the editor is closed.
  void* EditorWindow() const noexcept { return editorWindow_; }

  // --- The editor.
  void* AttachEditorWindow(void* parentWindow) override;
  void DetachEditorWindow() override;
  void ParentWindowResized(int32_t width, int32_t height) override;
  // Only the space bar reaches the host, as a key-down posted to the editor window.
  bool HandleKeyDown(const KeyEvent& key) override;
  bool HandleKeyUp(const KeyEvent& key) override;

  // --- Script calls to the page.
  void SendControlValueToUI(int32_t ctrlTag, double value) override;
  void SendControlMsgToUI(int32_t ctrlTag, int32_t msgTag, int32_t dataSize, const void* data) override;
  void SendArbitraryMsgToUI(int32_t msgTag, int32_t dataSize, const void* data) override;
  void SendMidiMsgToUI(const MidiMessage& message) override;
  void SendParamValueToUI(int32_t paramIdx, double value, bool isNormalised) override;

  // --- The browser's hooks.
  void OnBrowserReady() override;
  // Sends the parameter list (message tag -1), then OnEditorOpened.
  void OnWebContentLoaded() override;
  void OnPageMessage(const char* json) override;

 private:
  std::function<void()> editorInitCallback_;
  void* editorWindow_ = nullptr;
};

}  // namespace plugkit
