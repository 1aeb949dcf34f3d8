// The browser-specific state of an IWebView and the handlers of every browser callback.
#pragma once

#include <cstdint>
#include <memory>
#include <utility>

#include "framework/core/grow_string.h"
#include "webview/callback.h"
#include "webview/com_ptr.h"
#include "webview/host_anchor.h"
#include "webview/web_view.h"
#include "webview/webview2/webview2.h"

namespace plugkit::webview {

class WebViewHost {
 public:
  WebViewHost(IWebView& owner, bool enableDevTools);
  ~WebViewHost();
  WebViewHost(const WebViewHost&) = delete;
  WebViewHost& operator=(const WebViewHost&) = delete;

  void* Open(void* parentWindow, float x, float y, float width, float height, float scale);
  void Close();
  void Resize(float x, float y, float width, float height);
  void LoadFile(const char* name);
  void RunScript(const char* script, IWebView::ScriptCompletion completion);
  void CopyWebFolder(GrowString& out) const;
  void SetOpaque(bool opaque) { opaque_ = opaque; }

 private:
  // A handler that forwards to method while this host lives at the current generation.
  template <typename Interface, typename Method>
  ComPtr<Interface> Bind(Method method);

  void OnEnvironmentCompleted(webview2::HResult result, webview2::ICoreWebView2Environment* environment);
  void OnControllerCompleted(webview2::HResult result, webview2::ICoreWebView2Controller* controller);
  void SetUpWebView(const ComPtr<webview2::ICoreWebView2Controller>& controller,
                    const ComPtr<webview2::ICoreWebView2>& webView);
  void ApplySettings(webview2::ICoreWebView2* webView);
  void RegisterEvents(webview2::ICoreWebView2* webView);

  void OnWebMessageReceived(webview2::ICoreWebView2* sender, webview2::ICoreWebView2WebMessageReceivedEventArgs* args);
  void OnNavigationStarting(webview2::ICoreWebView2* sender, webview2::ICoreWebView2NavigationStartingEventArgs* args);
  void OnNavigationCompleted(webview2::ICoreWebView2* sender,
                             webview2::ICoreWebView2NavigationCompletedEventArgs* args);

  // New windows and downloads (web_view_downloads.cpp).
  void OnNewWindowRequested(webview2::ICoreWebView2* sender, webview2::ICoreWebView2NewWindowRequestedEventArgs* args);
  void OnDownloadStarting(webview2::ICoreWebView2* sender, webview2::ICoreWebView2DownloadStartingEventArgs* args);
  void OnBytesReceivedChanged(webview2::ICoreWebView2DownloadOperation* operation, webview2::IUnknown* args);
  void OnDownloadStateChanged(webview2::ICoreWebView2DownloadOperation* operation, webview2::IUnknown* args);
  void FinishDownload(webview2::ICoreWebView2DownloadOperation* operation, bool success);

  IWebView& owner_;
  const bool enableDevTools_;
  bool opaque_ = true;
  void* parentWindow_ = nullptr;
  ComPtr<webview2::ICoreWebView2Controller> controller_;
  ComPtr<webview2::ICoreWebView2> webView_;
  ComPtr<webview2::ICoreWebView2Environment> environment_;
  webview2::EventRegistrationToken webMessageToken_{};
  webview2::EventRegistrationToken navigationStartingToken_{};
  webview2::EventRegistrationToken navigationCompletedToken_{};
  webview2::EventRegistrationToken newWindowToken_{};
  webview2::EventRegistrationToken downloadStartingToken_{};
  webview2::EventRegistrationToken bytesReceivedToken_{};
  webview2::EventRegistrationToken stateChangedToken_{};
  bool visible_ = true;
  GrowString webFolder_;
  webview2::Rect bounds_{0, 0, 0, 0};
  std::shared_ptr<HostAnchor> anchor_;
};

template <typename Interface, typename Method>
ComPtr<Interface> WebViewHost::Bind(Method method) {
  return Callback<Interface>::Make([anchor = anchor_, generation = anchor_->generation, method](auto... args) {
    if (WebViewHost* host = anchor->LiveAt(generation)) (host->*method)(args...);
  });
}

}  // namespace plugkit::webview
