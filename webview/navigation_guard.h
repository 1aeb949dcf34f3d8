// Which addresses the page may navigate to: "about:blank", pages of the web folder under the
// virtual host, and file addresses inside the web folder. Every plug-in class answers its
// MayNavigateTo with this guard.
#pragma once

#include <string>
#include <string_view>

namespace plugkit {

class IWebView;

// url as the browser reports it (UTF-8; null refused), folder as LoadFile recorded it.
bool CheckNavigationUrl(const char* url, std::string_view folder) noexcept;

// "%" and two hexadecimal digits become that byte, in one pass; everything else stays.
std::string PercentDecode(std::string_view text);

// Whether a file: address names the folder or something inside it.
bool IsFileUrlInFolder(std::string_view url, std::string_view folder) noexcept;

// The guard against the web view's own folder.
bool MayNavigateWithinWebFolder(const IWebView& webView, const char* url) noexcept;

}  // namespace plugkit
