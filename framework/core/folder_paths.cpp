#include "framework/core/folder_paths.h"

#include <cstring>
#include <string>

#include "framework/core/path_text.h"
#include "platform/bundle_layout.h"
#include "platform/module_path.h"
#include "platform/special_folder.h"
#include "platform/utf16_text.h"

namespace plugkit {
namespace {

bool SetPath(GrowString& out, const std::string& path) noexcept {
  if (path.empty() || !out.Set(path.c_str())) {
    out.Set("");
    return false;
  }
  return true;
}

bool SpecialFolder(platform::SpecialFolder folder, GrowString& out) noexcept {
  return SetPath(out, platform::SpecialFolderPath(folder));
}

}  // namespace

bool ModuleFolder(void* moduleHandle, GrowString& out) noexcept {
  const std::string file = platform::ModuleFilePath(moduleHandle);
  return FolderOfFilePath(file.c_str(), platform::kPathSeparator, out) && !out.IsEmpty();
}

bool ResourceFolder(void* moduleHandle, GrowString& out) noexcept {
  // Without a module folder there is no bundle: "Resources" alone would name a folder
  // relative to whatever the host's current folder is.
  GrowString moduleFolder;
  if (!ModuleFolder(moduleHandle, moduleFolder)) {
    out.Set("");
    return false;
  }
  const auto archLength = static_cast<int32_t>(std::strlen(platform::kBundleArchitectureFolder));
  return ResourceFolderOf(moduleFolder.Get(), archLength, platform::kPathSeparator, out);
}

bool AppDataFolder(GrowString& out, bool allUsers) noexcept {
  return SpecialFolder(allUsers ? platform::SpecialFolder::CommonAppData : platform::SpecialFolder::LocalAppData, out);
}

bool DesktopFolder(GrowString& out) noexcept { return SpecialFolder(platform::SpecialFolder::Desktop, out); }

bool WebViewCacheFolder(GrowString& out) noexcept {
  GrowString roaming;
  SpecialFolder(platform::SpecialFolder::RoamingAppData, roaming);
  return WebViewCacheFolderOf(roaming.Get(), platform::kPathSeparator, out) && !out.IsEmpty();
}

bool WideToUtf8(GrowString& out, const char16_t* text) noexcept {
  try {
    const std::string utf8 = text != nullptr ? platform::Utf16ToUtf8(text) : std::string();
    if (out.Set(utf8.c_str())) return true;
  } catch (...) {
  }
  out.Set("");
  return false;
}

}  // namespace plugkit
