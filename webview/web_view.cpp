#include "webview/web_view.h"

#include "webview/browser_bounds.h"
#include "webview/desktop_services.h"
#include "webview/web_view_host.h"
#include "webview/web_view_log.h"

namespace plugkit {

IWebView::IWebView(bool enableDevTools) : webViewHost_(std::make_unique<webview::WebViewHost>(*this, enableDevTools)) {}

IWebView::~IWebView() = default;

void IWebView::GetDownloadPath(const char* proposedPath, GrowString& outPath) {
  std::string_view proposed = proposedPath != nullptr ? proposedPath : "";
  const std::size_t separator = proposed.find_last_of("\\/");
  const std::string fileName(separator == std::string_view::npos ? proposed : proposed.substr(separator + 1));
  try {
    outPath.Set(
        fileName.empty() ? "" : webview::JoinPath(webview::CurrentDesktop().DesktopFolder(), fileName.c_str()).c_str());
  } catch (...) {
    outPath.Set("");
  }
}

void* IWebView::OpenWebView(void* parentWindow, float x, float y, float width, float height, float scale) {
  return webViewHost_->Open(parentWindow, x, y, width, height, scale);
}

void IWebView::CloseBrowser() { webViewHost_->Close(); }

void IWebView::ResizeBrowser(float x, float y, float width, float height) { webViewHost_->Resize(x, y, width, height); }

void IWebView::LoadFile(const char* name) { webViewHost_->LoadFile(name); }

void IWebView::RunPageScript(const char* script, ScriptCompletion completion) {
  webViewHost_->RunScript(script, std::move(completion));
}

void IWebView::GetWebFolder(GrowString& out) const { webViewHost_->CopyWebFolder(out); }

void IWebView::SetOpaque(bool opaque) { webViewHost_->SetOpaque(opaque); }

void IWebView::AppendWebViewLog(const char* line) {
  webview::AppendLogLine(webview::kWebViewLogName, line != nullptr ? line : "");
}

float IWebView::WindowDpiScale(void* window) {
  uint32_t dpi = 0;
  const bool known = webview::CurrentDesktop().QueryWindowDpi(window, dpi);
  return webview::DpiScale(known, dpi);
}

}  // namespace plugkit
