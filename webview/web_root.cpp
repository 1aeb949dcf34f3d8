#include "webview/web_root.h"

#include <filesystem>
#include <system_error>

#include "platform/bundle_layout.h"
#include "platform/module_handle.h"
#include "webview/desktop_services.h"
#include "webview/web_view.h"
#include "webview/web_view_log.h"

namespace plugkit {
namespace {

// Anything at the path counts, a dangling link included; "not found" and every other
// failure of the query count as missing (the page is loaded anyway, and the line tells).
bool AnythingExistsAt(const std::string& utf8Path) {
  std::error_code error;
  const std::filesystem::file_status status =
      std::filesystem::symlink_status(std::filesystem::path(std::u8string(utf8Path.begin(), utf8Path.end())), error);
  return !error && status.type() != std::filesystem::file_type::not_found &&
         status.type() != std::filesystem::file_type::none;
}

}  // namespace

std::string FindWebRoot(void* fallbackModule) {
  webview::DesktopServices& desktop = webview::CurrentDesktop();
  void* module = desktop.ModuleOfThisCode();
  const std::string root = desktop.ResourceFolder(module != nullptr ? module : fallbackModule);
  const std::string index = root + "web" + platform::kPathSeparator + "index.html";
  const bool exists = AnythingExistsAt(index);
  AppendUILog(("module=" + std::string(module != nullptr ? "ok" : "fallback") + " root=" + webview::LogSafe(root) +
               " index=" + webview::LogSafe(index) + " exists=" + (exists ? "1" : "0"))
                  .c_str());
  return index;
}

void LoadWebUI(IWebView& webView) {
  try {
    const std::string index = FindWebRoot(platform::RecordedModuleHandle());
    webView.LoadFile(index.c_str());
  } catch (...) {
  }
}

void AppendUILog(const char* line) { webview::AppendLogLine(webview::kUiLogName, line != nullptr ? line : ""); }

}  // namespace plugkit
