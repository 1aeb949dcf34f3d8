#include "host/text.h"

#include <cstdio>

#include "platform/utf16_text.h"

namespace tarnwell::host {

std::string Utf16ToUtf8(const Steinberg::char16* text, size_t maxLength) {
  if (text == nullptr) return {};
  size_t n = 0;
  while (n < maxLength && text[n] != 0) ++n;
  return plugkit::platform::Utf16ToUtf8Portable(std::u16string_view(reinterpret_cast<const char16_t*>(text), n));
}

std::u16string Utf8ToUtf16(const std::string& text) {
  std::u16string out;
  for (size_t i = 0; i < text.size();) {
    auto b = static_cast<unsigned char>(text[i]);
    uint32_t c = b;
    size_t extra = b >= 0xF0 ? 3 : b >= 0xE0 ? 2 : b >= 0xC0 ? 1 : 0;
    if (extra > 0) c = b & (0x3F >> extra);
    if (i + extra >= text.size()) break;  // a sequence cut short ends the text
    for (size_t k = 1; k <= extra; ++k) c = (c << 6) | (static_cast<unsigned char>(text[i + k]) & 0x3F);
    i += extra + 1;
    if (c >= 0x10000) {
      c -= 0x10000;
      out += static_cast<char16_t>(0xD800 + (c >> 10));
      out += static_cast<char16_t>(0xDC00 + (c & 0x3FF));
    } else {
      out += static_cast<char16_t>(c);
    }
  }
  return out;
}

std::string HexId(const char* tuid) {
  std::string out;
  char digits[3];
  for (int i = 0; i < 16; ++i) {
    std::snprintf(digits, sizeof digits, "%02X", static_cast<unsigned char>(tuid[i]));
    out += digits;
  }
  return out;
}

}  // namespace tarnwell::host
