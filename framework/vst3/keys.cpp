#include "framework/vst3/keys.h"

#include "platform/keyboard_layout.h"

namespace plugkit {
namespace {

constexpr int32_t kCharacterKeyCodesFrom = 128;
constexpr int32_t kCharacterKeyOffset = 80;

// VST 3 key codes 1-56 in order: back, tab, clear, return, pause, escape, space, next, end,
// home, left, up, right, down, page up, page down, select, print, enter, snapshot, insert,
// delete, help, numeric pad 0-9, multiply, add, separator, subtract, decimal, divide,
// F1-F12, num lock, scroll lock, shift, control, alt.
constexpr int32_t kWindowsKeys[] = {
    8,   9,   12,  13,  19,  27,  32,  34,  35,  36,  37,  38,  39,  40,  33,  34,  41,  42,  13,
    44,  45,  46,  47,  96,  97,  98,  99,  100, 101, 102, 103, 104, 105, 106, 107, 108, 109, 110,
    111, 112, 113, 114, 115, 116, 117, 118, 119, 120, 121, 122, 123, 144, 145, 16,  17,  18,
};
static_assert(sizeof kWindowsKeys / sizeof kWindowsKeys[0] == 56);

constexpr int32_t kVst3KeyEquals = 57;

}  // namespace

char16_t Vst3KeyCharacter(char16_t key, int32_t keyCode) noexcept {
  if (key != 0) return key;
  if (keyCode & 0x80) return static_cast<char16_t>((keyCode & 0xFF) - kCharacterKeyOffset);
  return keyCode == kVst3KeySpace ? u' ' : 0;
}

int32_t Utf8OfUnit(char16_t unit, char (&out)[4]) noexcept {
  char32_t c = unit;
  if (c >= 0xD800 && c <= 0xDFFF) c = 0xFFFD;
  int32_t n = 0;
  if (c < 0x80) {
    if (c != 0) out[n++] = static_cast<char>(c);
  } else if (c < 0x800) {
    out[n++] = static_cast<char>(0xC0 | (c >> 6));
    out[n++] = static_cast<char>(0x80 | (c & 0x3F));
  } else {
    out[n++] = static_cast<char>(0xE0 | (c >> 12));
    out[n++] = static_cast<char>(0x80 | ((c >> 6) & 0x3F));
    out[n++] = static_cast<char>(0x80 | (c & 0x3F));
  }
  out[n] = 0;
  return n;
}

int32_t VirtualKeyFromVst3(int32_t keyCode, char character) noexcept {
  if (keyCode == 0 || keyCode == kVst3KeyEquals) return platform::VirtualKeyForCharacter(character);
  if (keyCode >= 1 && keyCode <= 56) return kWindowsKeys[keyCode - 1];
  if (keyCode >= kCharacterKeyCodesFrom) return keyCode - kCharacterKeyOffset;
  return 0;
}

KeyEvent KeyFromVst3Key(char16_t key, int32_t keyCode, int32_t modifiers) noexcept {
  KeyEvent event;
  char utf8[4];
  Utf8OfUnit(Vst3KeyCharacter(key, keyCode), utf8);
  for (int i = 0; i < 4; ++i) event.utf8[i] = utf8[i];
  event.VK = VirtualKeyFromVst3(keyCode, utf8[0]);
  event.S = (modifiers & Vst3KeyModifiers::kShift) != 0;
  event.A = (modifiers & Vst3KeyModifiers::kAlternate) != 0;
  event.C = (modifiers & Vst3KeyModifiers::kCommand) != 0;
  return event;
}

}  // namespace plugkit
