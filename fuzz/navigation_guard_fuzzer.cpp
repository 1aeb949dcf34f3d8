// Addresses the page may try to navigate to, judged by the navigation guard against a web
// folder on disk. Whatever the address, an allowed one is about:blank, a page of the virtual
// host, or a file address.
#include <filesystem>
#include <fstream>
#include <string>
#include <string_view>

#include "fuzz/fuzz_check.h"
#include "fuzz/fuzz_folders.h"
#include "webview/navigation_guard.h"
#include "webview/virtual_host.h"

namespace {

std::string MakeWebFolder() {
  const std::filesystem::path web = tarnwell::fuzz::UseScratchUserFolders() / "Bundle" / "Resources" / "web";
  std::filesystem::create_directories(web / "common");
  std::ofstream(web / "index.html") << "<html></html>";
  std::ofstream(web.parent_path() / "secret.txt") << "outside";
  return web.generic_string();
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  static const std::string folder = MakeWebFolder();
  const std::string url(reinterpret_cast<const char*>(data), size);
  const std::string_view text = url.c_str();  // the browser's text ends at its first NUL
  if (!plugkit::CheckNavigationUrl(url.c_str(), folder)) return 0;
  tarnwell::fuzz::Require(
      text == "about:blank" || text.starts_with(plugkit::webview::kVirtualHostOrigin) || text.starts_with("file:"),
      "an allowed address is the blank page, the virtual host or a file");
  if (text.starts_with(plugkit::webview::kVirtualHostOrigin)) {
    const std::string rest =
        plugkit::PercentDecode(text.substr(std::string_view(plugkit::webview::kVirtualHostOrigin).size()));
    tarnwell::fuzz::Require(rest.find("..") == std::string::npos, "an allowed page address never climbs");
  }
  return 0;
}
