#include "webview/desktop_services.h"

#include <filesystem>
#include <system_error>

#include "framework/core/folder_paths.h"
#include "framework/core/grow_string.h"
#include "platform/bundle_layout.h"
#include "platform/editor_window.h"
#include "platform/module_of_address.h"
#include "platform/shell_link.h"
#include "webview/service_slot.h"

namespace plugkit::webview {
namespace {

std::string FromGrowString(bool found, const GrowString& text) {
  return found ? std::string(text.Get()) : std::string();
}

class PlatformDesktop final : public DesktopServices {
 public:
  bool QueryWindowDpi(void* window, uint32_t& dpi) override { return platform::QueryWindowDpi(window, dpi); }
  bool WindowClientSize(void* window, int32_t& width, int32_t& height) override {
    return platform::WindowClientSize(window, width, height);
  }
  bool PostSpaceKeyDown(void* window) override { return platform::PostSpaceKeyDown(window); }
  bool IsInternetConnected() override { return platform::IsInternetConnected(); }
  intptr_t OpenInShell(void* parentWindow, const webview2::Char* uri) override {
    return platform::OpenInShell(parentWindow, uri);
  }

  std::string DesktopFolder() override {
    GrowString folder;
    const bool found = plugkit::DesktopFolder(folder);
    return FromGrowString(found, folder);
  }
  std::string WebViewCacheFolder() override {
    GrowString folder;
    const bool found = plugkit::WebViewCacheFolder(folder);
    return FromGrowString(found, folder);
  }
  std::string TemporaryFolder() override {
    std::error_code error;
    const std::filesystem::path folder = std::filesystem::temp_directory_path(error);
    if (error) return {};
    const std::u8string utf8 = folder.u8string();
    return std::string(utf8.begin(), utf8.end());
  }

  void* ModuleOfThisCode() override {
    return platform::ModuleContainingAddress(reinterpret_cast<const void*>(&CurrentDesktop));
  }
  std::string ResourceFolder(void* module) override {
    GrowString folder;
    const bool found = plugkit::ResourceFolder(module, folder);
    return FromGrowString(found, folder);
  }
};

PlatformDesktop platformDesktop;
ServiceSlot<DesktopServices> desktopSlot(platformDesktop);

}  // namespace

DesktopServices& CurrentDesktop() noexcept { return desktopSlot.Current(); }

DesktopServices* InstallDesktopServices(DesktopServices* desktop) noexcept { return desktopSlot.Install(desktop); }

std::string JoinPath(const std::string& folder, const char* name) {
  if (folder.empty()) return {};
  std::string path = folder;
  const char last = path.back();
  if (last != '/' && last != platform::kPathSeparator) path += platform::kPathSeparator;
  return path + name;
}

}  // namespace plugkit::webview
