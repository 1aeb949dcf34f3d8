// New windows and downloads: links leave for the user's browser, downloads go through the
// IWebView hooks (which by default cancel them).
#include <string>

#include "webview/browser_runtime.h"
#include "webview/desktop_services.h"
#include "webview/utf16_convert.h"
#include "webview/web_view_host.h"

namespace plugkit::webview {

using namespace webview2;

namespace {

// Only web links go to the shell: any other scheme ("file:", a drive letter read as a
// scheme, UNC paths) would let a script in the page start local programs. The browser
// reports schemes in lower case.
bool IsWebLink(std::u16string_view uri) { return uri.starts_with(u"https:") || uri.starts_with(u"http:"); }

std::u16string TakeWideText(Char* text) {
  std::u16string copy = text != nullptr ? std::u16string(text) : std::u16string();
  if (text != nullptr) CurrentBrowserRuntime().FreeText(text);
  return copy;
}

}  // namespace

void WebViewHost::OnNewWindowRequested(ICoreWebView2*, ICoreWebView2NewWindowRequestedEventArgs* args) {
  if (args == nullptr) return;
  auto args2 =
      ComPtr<ICoreWebView2NewWindowRequestedEventArgs>::Share(args).As<ICoreWebView2NewWindowRequestedEventArgs2>();
  if (!args2) return;
  if (!CurrentDesktop().IsInternetConnected()) return;
  Char* uri = nullptr;
  const HResult result = args2->get_Uri(&uri);
  const std::u16string link = TakeWideText(uri);
  if (result != kOk) return;
  if (!IsWebLink(link)) {
    args->put_Handled(1);  // refused: neither the shell nor a browser window of its own
    return;
  }
  if (CurrentDesktop().OpenInShell(parentWindow_, link.c_str()) > 32) args->put_Handled(1);
}

void WebViewHost::OnDownloadStarting(ICoreWebView2*, ICoreWebView2DownloadStartingEventArgs* args) {
  if (args == nullptr) return;
  args->put_Handled(1);
  ComPtr<ICoreWebView2DownloadOperation> operation;
  args->get_DownloadOperation(operation.Put());

  Char* mimeType = nullptr;
  if (operation) operation->get_MimeType(&mimeType);
  if (!owner_.MayDownload(TakeBrowserText(mimeType).c_str())) args->put_Cancel(1);

  // Also for a cancelled download: the browser reports it interrupted with this path.
  Char* proposed = nullptr;
  args->get_ResultFilePath(&proposed);
  GrowString path;
  owner_.GetDownloadPath(TakeBrowserText(proposed).c_str(), path);
  args->put_ResultFilePath(Utf8ToUtf16(path.Get()).c_str());

  if (!operation) return;
  // One token pair for the host: a download started meanwhile takes it over.
  operation->add_BytesReceivedChanged(
      Bind<ICoreWebView2BytesReceivedChangedEventHandler>(&WebViewHost::OnBytesReceivedChanged).Get(),
      &bytesReceivedToken_);
  operation->add_StateChanged(Bind<ICoreWebView2StateChangedEventHandler>(&WebViewHost::OnDownloadStateChanged).Get(),
                              &stateChangedToken_);
}

void WebViewHost::OnBytesReceivedChanged(ICoreWebView2DownloadOperation* operation, IUnknown*) {
  if (operation == nullptr) return;
  int64_t received = 0;
  int64_t total = 0;
  operation->get_BytesReceived(&received);
  operation->get_TotalBytesToReceive(&total);
  owner_.OnDownloadProgress(received, total);
}

void WebViewHost::OnDownloadStateChanged(ICoreWebView2DownloadOperation* operation, IUnknown*) {
  if (operation == nullptr) return;
  DownloadState state = kDownloadInProgress;
  if (operation->get_State(&state) != kOk) return;
  if (state == kDownloadInterrupted) FinishDownload(operation, false);
  if (state == kDownloadCompleted) FinishDownload(operation, true);
}

void WebViewHost::FinishDownload(ICoreWebView2DownloadOperation* operation, bool success) {
  operation->remove_BytesReceivedChanged(bytesReceivedToken_);
  operation->remove_StateChanged(stateChangedToken_);
  Char* resultPath = nullptr;
  operation->get_ResultFilePath(&resultPath);
  const std::string path = TakeBrowserText(resultPath);
  if (success)
    owner_.OnDownloadFinished(path.c_str());
  else
    owner_.OnDownloadFailed(path.c_str());
}

}  // namespace plugkit::webview
