// One tab of the headless browser prepared as a web view: page messages through a binding,
// the web folder served from disk under its virtual host name by request interception, every
// navigation put to the NavigationStarting handlers first, nothing let out to the network.
// The browser objects of the backend forward here; the tests drive the page through it.
#pragma once

#include <map>
#include <memory>
#include <string>
#include <vector>

#include "com_object.h"
#include "devtools.h"
#include "webview/com_ptr.h"
#include "webview/webview2/webview2.h"

namespace tarnwell::browser {

using plugkit::webview::ComPtr;

template <typename Handler>
struct Handlers {
  std::vector<std::pair<int64_t, ComPtr<Handler>>> entries;

  HResult Add(Handler* handler, EventRegistrationToken* token);
  // A copy: a handler may close the page, which clears the list.
  std::vector<ComPtr<Handler>> Snapshot() const;
};

class BrowserPage : public std::enable_shared_from_this<BrowserPage> {
 public:
  // A new tab of browser, ready for its first navigation. Throws std::runtime_error.
  static std::shared_ptr<BrowserPage> Open(std::shared_ptr<DevTools> browser);
  ~BrowserPage();
  BrowserPage(const BrowserPage&) = delete;
  BrowserPage& operator=(const BrowserPage&) = delete;

  // --- What the browser objects forward.
  void SetSender(ICoreWebView2* sender) { sender_ = sender; }
  HResult Navigate(const std::string& uri);
  HResult AddDocumentScript(const std::string& source,
                            ComPtr<ICoreWebView2AddScriptToExecuteOnDocumentCreatedCompletedHandler> handler);
  HResult ExecuteScript(const std::string& script, ComPtr<ICoreWebView2ExecuteScriptCompletedHandler> handler);
  HResult MapVirtualHost(const std::string& hostName, const std::string& folder);
  HResult SetBounds(const Rect& bounds);
  HResult SetBackground(const Color& color);
  HResult SetScriptEnabled(bool enabled);
  void SetWebMessagesEnabled(bool enabled) { webMessagesEnabled_ = enabled; }
  // Closes the tab; no handler is called afterwards.
  void Close();

  Handlers<ICoreWebView2WebMessageReceivedEventHandler> webMessageReceived;
  Handlers<ICoreWebView2NavigationStartingEventHandler> navigationStarting;
  Handlers<ICoreWebView2NavigationCompletedEventHandler> navigationCompleted;
  Handlers<ICoreWebView2NewWindowRequestedEventHandler> newWindowRequested;

  // --- For the tests.
  // The value of a script in the page, waited for (promises too). Throws std::runtime_error
  // with the page's exception text when it throws.
  Json Evaluate(const std::string& expression);
  // A PNG of the page's top-left width x height pixels.
  void SaveScreenshot(const std::string& path, int width, int height);
  // A real mouse click (press and release) in the middle of the element that selector finds.
  void Click(const std::string& selector);
  // A real key press and release with the browser's legacy key code and the key's text.
  void PressKey(int keyCode, const std::string& key);
  bool Closed() const { return closed_; }
  // Requests refused because they would have left the web folder for the network.
  const std::vector<std::string>& BlockedRequests() const { return blockedRequests_; }
  // Exceptions and console errors of the page's scripts, and of the scripts run in it.
  const std::vector<std::string>& ScriptErrors() const { return scriptErrors_; }
  int CompletedNavigations() const { return completedNavigations_; }
  const std::string& LastNavigationUri() const { return lastNavigationUri_; }

 private:
  enum class Loading { kIdle, kAwaitingLoad, kAwaitingFailedLoad };

  BrowserPage(std::shared_ptr<DevTools> browser, std::string targetId, std::string session);
  void OnEvent(const std::string& method, const Json& params);
  void OnRequestPaused(const Json& params);
  // False when a handler cancelled the navigation.
  bool RaiseNavigationStarting(const std::string& uri);
  void RaiseNavigationCompleted(bool success, WebErrorStatus status);
  void RaiseWebMessage(const std::string& json);
  // True with the file's bytes (or a not-found answer) when url names a mapped host.
  bool ServeMapped(const std::string& url, int& status, std::string& contentType, std::string& body) const;
  void RecordException(const Json& details);

  std::shared_ptr<DevTools> browser_;
  const std::string targetId_;
  const std::string session_;
  ICoreWebView2* sender_ = nullptr;
  bool closed_ = false;
  bool webMessagesEnabled_ = true;
  std::map<std::string, std::string> virtualHosts_;
  Loading loading_ = Loading::kIdle;
  std::string loadingUri_;
  std::string lastNavigationUri_;
  int completedNavigations_ = 0;
  std::vector<std::string> blockedRequests_;
  std::vector<std::string> scriptErrors_;
};

// The tabs that are open, oldest first (UI thread only).
std::vector<std::shared_ptr<BrowserPage>> OpenPages();

}  // namespace tarnwell::browser
