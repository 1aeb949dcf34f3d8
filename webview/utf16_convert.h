// UTF-8 to UTF-16 for the browser's texts. Invalid UTF-8 becomes U+FFFD, as the platform's
// own conversion does, so both builds convert identically.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

#include "webview/webview2/types.h"

namespace plugkit::webview {

// May throw std::bad_alloc.
std::u16string Utf8ToUtf16(std::string_view text);

// UTF-16 units the text needs with its terminator (at least 1); a null text needs 1.
int32_t WideLengthOfUtf8(const char* text) noexcept;

// Converts text with its terminator into out when capacity suffices, returning the units
// written; otherwise out becomes "" (when capacity > 0) and 0 is returned.
int32_t Utf8ToWide(webview2::Char* out, const char* text, int32_t capacity) noexcept;

// UTF-16 to UTF-8 for texts that came from the browser; null gives "". Never throws.
std::string Utf16ToUtf8(const webview2::Char* text) noexcept;

}  // namespace plugkit::webview
