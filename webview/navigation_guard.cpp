#include "webview/navigation_guard.h"

#include <filesystem>
#include <string>
#include <system_error>

#include "webview/virtual_host.h"
#include "webview/web_view.h"

namespace plugkit {
namespace {

namespace fs = std::filesystem;

int HexValue(char c) {
  if (c >= '0' && c <= '9') return c - '0';
  if (c >= 'a' && c <= 'f') return c - 'a' + 10;
  if (c >= 'A' && c <= 'F') return c - 'A' + 10;
  return -1;
}

// Both sides as UTF-8 paths: a narrow code page would lose non-ASCII install folders.
fs::path Utf8Path(std::string_view text) { return fs::path(std::u8string(text.begin(), text.end())); }

std::string GenericUtf8(const fs::path& path) {
  const std::u8string text = path.generic_u8string();
  return std::string(text.begin(), text.end());
}

bool HasControlBytes(std::string_view text) {
  for (const char c : text) {
    const auto byte = static_cast<unsigned char>(c);
    if (byte < 0x20 || byte == 0x7F) return true;
  }
  return false;
}

bool IsAsciiLetter(char c) { return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z'); }

// The normalised absolute form; "" when it cannot be had.
std::string CanonicalForm(const fs::path& path) {
  std::error_code error;
  const fs::path canonical = fs::weakly_canonical(path, error);
  if (error) return {};
  return GenericUtf8(canonical);
}

}  // namespace

std::string PercentDecode(std::string_view text) {
  std::string decoded;
  decoded.reserve(text.size());
  for (std::size_t i = 0; i < text.size(); ++i) {
    if (text[i] == '%' && i + 2 < text.size()) {
      const int high = HexValue(text[i + 1]);
      const int low = HexValue(text[i + 2]);
      if (high >= 0 && low >= 0) {
        decoded += static_cast<char>(high << 4 | low);
        i += 2;
        continue;
      }
    }
    decoded += text[i];
  }
  return decoded;
}

bool IsFileUrlInFolder(std::string_view url, std::string_view folder) noexcept {
  try {
    std::string_view path;
    if (url.starts_with("file://"))
      path = url.substr(7);
    else if (url.starts_with("file:/"))
      path = url.substr(5);
    else
      return false;
    if (path.size() >= 10 && path.starts_with("localhost/")) path.remove_prefix(9);
    path = path.substr(0, path.find_first_of("?#"));
    std::string decoded = PercentDecode(path);
    if (decoded.size() > 2 && decoded[0] == '/' && IsAsciiLetter(decoded[1]) && decoded[2] == ':') decoded.erase(0, 1);
    if (decoded.empty() || folder.empty() || HasControlBytes(decoded)) return false;

    const fs::path target = Utf8Path(decoded);
    const fs::path root = Utf8Path(folder);
    // A relative path would resolve against the host's current folder, and a host name
    // ("file://server/share") would become one: only absolute paths can be judged.
    if (!target.is_absolute() || !root.is_absolute()) return false;
    for (const fs::path& element : target)
      if (element == "..") return false;

    const std::string targetForm = CanonicalForm(target);
    const std::string rootForm = CanonicalForm(root);
    if (targetForm.empty() || rootForm.empty()) return false;
    if (targetForm == rootForm) return true;
    const std::string rootWithSlash = rootForm.back() == '/' ? rootForm : rootForm + "/";
    return targetForm.starts_with(rootWithSlash);
  } catch (...) {
    return false;
  }
}

bool CheckNavigationUrl(const char* url, std::string_view folder) noexcept {
  if (url == nullptr) return false;
  const std::string_view address = url;
  if (address == "about:blank") return true;
  if (address.starts_with(webview::kVirtualHostOrigin)) {
    try {
      const std::string rest = PercentDecode(address.substr(std::string_view(webview::kVirtualHostOrigin).size()));
      return rest.find("..") == std::string::npos;
    } catch (...) {
      return false;
    }
  }
  return IsFileUrlInFolder(address, folder);
}

bool MayNavigateWithinWebFolder(const IWebView& webView, const char* url) noexcept {
  GrowString folder;
  webView.GetWebFolder(folder);
  return CheckNavigationUrl(url, folder.Get());
}

}  // namespace plugkit
