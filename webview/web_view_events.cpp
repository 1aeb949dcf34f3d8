// Page messages and navigation events of the browser.
#include <string>

#include "framework/core/number_text.h"
#include "webview/browser_runtime.h"
#include "webview/web_view_host.h"
#include "webview/web_view_log.h"

namespace plugkit::webview {

using namespace webview2;

void WebViewHost::OnWebMessageReceived(ICoreWebView2*, ICoreWebView2WebMessageReceivedEventArgs* args) {
  if (args == nullptr) return;
  Char* json = nullptr;
  const HResult result = args->get_WebMessageAsJson(&json);
  const bool received = result == kOk && json != nullptr;
  const std::string text = TakeBrowserText(json);
  if (received) owner_.OnPageMessage(text.c_str());
}

void WebViewHost::OnNavigationStarting(ICoreWebView2*, ICoreWebView2NavigationStartingEventArgs* args) {
  if (args == nullptr) return;
  Char* uri = nullptr;
  const HResult result = args->get_Uri(&uri);
  const bool known = result == kOk && uri != nullptr;
  const std::string text = TakeBrowserText(uri);
  AppendLogLine(kWebViewLogName, "NavigationStarting uri=" + LogSafe(text));
  if (!owner_.MayNavigateTo(known ? text.c_str() : nullptr)) args->put_Cancel(1);
}

void WebViewHost::OnNavigationCompleted(ICoreWebView2*, ICoreWebView2NavigationCompletedEventArgs* args) {
  if (args == nullptr) return;
  Bool32 success = 0;
  WebErrorStatus status = kWebErrorUnknown;
  if (args->get_IsSuccess(&success) != kOk) success = 0;
  args->get_WebErrorStatus(&status);
  AppendLogLine(kWebViewLogName, std::string("NavigationCompleted success=") + (success ? "1" : "0") +
                                     " status=" + std::string(FormatInteger(status).View()));
  if (!success) return;
  AppendLogLine(kWebViewLogName, "Calling OnWebContentLoaded");
  owner_.OnWebContentLoaded();
}

}  // namespace plugkit::webview
