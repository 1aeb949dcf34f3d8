#include "webview/page_keys.h"

#include <cstring>

namespace plugkit {
namespace {

// The byte length of text when it holds exactly one well-formed UTF-8 code point, else 0.
std::size_t SingleCodePointLength(const char* text) {
  const std::size_t length = std::strlen(text);
  if (length == 0 || length > 4) return 0;
  const auto lead = static_cast<unsigned char>(text[0]);
  const std::size_t expected = lead < 0x80             ? 1
                               : (lead & 0xE0) == 0xC0 ? 2
                               : (lead & 0xF0) == 0xE0 ? 3
                               : (lead & 0xF8) == 0xF0 ? 4
                                                       : 0;
  if (expected != length) return 0;
  for (std::size_t i = 1; i < length; ++i)
    if ((static_cast<unsigned char>(text[i]) & 0xC0) != 0x80) return 0;
  return length;
}

}  // namespace

int32_t VirtualKeyFromPageKeyCode(int32_t keyCode) noexcept {
  const bool same = keyCode == 8 || keyCode == 9 || keyCode == 13 || (keyCode >= 16 && keyCode <= 20) ||
                    keyCode == 27 || (keyCode >= 32 && keyCode <= 40) || keyCode == 45 || keyCode == 46 ||
                    (keyCode >= 48 && keyCode <= 57) || (keyCode >= 65 && keyCode <= 90) ||
                    (keyCode >= 112 && keyCode <= 123);
  if (same) return keyCode;
  if (keyCode >= 96 && keyCode <= 105) return keyCode - 48;  // keypad digits as digits
  return 0;
}

KeyEvent KeyFromPageEvent(int32_t keyCode, const char* text, bool shift, bool control, bool alt) noexcept {
  KeyEvent key;
  key.VK = VirtualKeyFromPageKeyCode(keyCode);
  if (text != nullptr) {
    const std::size_t length = SingleCodePointLength(text);
    std::memcpy(key.utf8, text, length);
  }
  key.S = shift;
  key.C = control;
  key.A = alt;
  return key;
}

}  // namespace plugkit
