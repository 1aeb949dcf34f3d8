#include "framework/core/path_text.h"

#include <cstring>

namespace plugkit {
namespace {

constexpr char kResourceFolderName[] = "Resources";
constexpr char kVendorFolderName[] = "Tarnwell";
constexpr char kWebViewCacheFolderName[] = "WebViewCache";

bool Fail(GrowString& out) noexcept {
  out.Set("");
  return false;
}

}  // namespace

bool FolderOfFilePath(const char* filePath, char separator, GrowString& out) noexcept {
  const char* last = filePath != nullptr ? std::strrchr(filePath, separator) : nullptr;
  if (last == nullptr || last[1] == '\0') return out.Set("") || Fail(out);
  const int32_t length = static_cast<int32_t>(last - filePath) + 1;
  return out.Set(filePath, length) || Fail(out);
}

bool ResourceFolderOf(const char* moduleFolder, int32_t archFolderLength, char separator, GrowString& out) noexcept {
  const size_t folderLength = moduleFolder != nullptr ? std::strlen(moduleFolder) : 0;
  const size_t cut = archFolderLength > 0 ? static_cast<size_t>(archFolderLength) + 1 : 1;
  const bool kept = folderLength > cut ? out.Set(moduleFolder, static_cast<int32_t>(folderLength - cut)) : out.Set("");
  if (!kept || !out.Append(kResourceFolderName) || !out.Append(&separator, 1)) return Fail(out);
  return true;
}

bool WebViewCacheFolderOf(const char* roamingFolder, char separator, GrowString& out) noexcept {
  if (roamingFolder == nullptr || roamingFolder[0] == '\0') return out.Set("") || Fail(out);
  if (!out.Set(roamingFolder) || !out.Append(&separator, 1) || !out.Append(kVendorFolderName) ||
      !out.Append(&separator, 1) || !out.Append(kWebViewCacheFolderName))
    return Fail(out);
  return true;
}

}  // namespace plugkit
