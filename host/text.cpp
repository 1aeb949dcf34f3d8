#include "host/text.h"

#include <cstdio>

namespace tarnwell::host {

std::string Utf16ToUtf8(const Steinberg::char16* text, size_t maxLength) {
  std::string out;
  if (text == nullptr) return out;
  for (size_t i = 0; i < maxLength && text[i] != 0; ++i) {
    uint32_t c = static_cast<uint16_t>(text[i]);
    if (c >= 0xD800 && c < 0xDC00 && i + 1 < maxLength) {
      uint32_t low = static_cast<uint16_t>(text[i + 1]);
      if (low >= 0xDC00 && low < 0xE000) {
        c = 0x10000 + ((c - 0xD800) << 10) + (low - 0xDC00);
        ++i;
      }
    }
    if (c < 0x80) {
      out += static_cast<char>(c);
    } else if (c < 0x800) {
      out += static_cast<char>(0xC0 | (c >> 6));
      out += static_cast<char>(0x80 | (c & 0x3F));
    } else if (c < 0x10000) {
      out += static_cast<char>(0xE0 | (c >> 12));
      out += static_cast<char>(0x80 | ((c >> 6) & 0x3F));
      out += static_cast<char>(0x80 | (c & 0x3F));
    } else {
      out += static_cast<char>(0xF0 | (c >> 18));
      out += static_cast<char>(0x80 | ((c >> 12) & 0x3F));
      out += static_cast<char>(0x80 | ((c >> 6) & 0x3F));
      out += static_cast<char>(0x80 | (c & 0x3F));
    }
  }
  return out;
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
