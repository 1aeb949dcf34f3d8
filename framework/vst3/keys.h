// Keys as a VST 3 host reports them to an editor view (a UTF-16 character, a VST 3 virtual
// key code and modifier bits), translated into Windows virtual-key codes and UTF-8 text.
#pragma once

#include <cstdint>

#include "framework/core/key_event.h"

namespace plugkit {

// The character a key event stands for: key itself, or when key is 0 the printable
// character of a key code from 128 on ((keyCode & 0xFF) - 80), a blank for the space key
// (7), else 0.
char16_t Vst3KeyCharacter(char16_t key, int32_t keyCode) noexcept;

// One UTF-16 unit as UTF-8 in out (at most 3 bytes, NUL-terminated); a lone surrogate
// gives U+FFFD. Returns the byte count (0 for the character 0).
int32_t Utf8OfUnit(char16_t unit, char (&out)[4]) noexcept;

// The Windows virtual-key code of a VST 3 key code. Character keys (code 0, and 57 for the
// equals key) are looked up in the keyboard layout by character, giving the key in bits 0-7
// and the shift state in bits 8-15, or -1; codes 58-127 and negative codes give 0; codes
// from 128 on stand for printable characters (code - 80).
int32_t VirtualKeyFromVst3(int32_t keyCode, char character) noexcept;

// Modifier bits of a VST 3 key event.
struct Vst3KeyModifiers {
  static constexpr int32_t kShift = 1;
  static constexpr int32_t kAlternate = 2;
  static constexpr int32_t kCommand = 4;  // the control key on Windows
};

// The key record of a host key event: its character as UTF-8, the virtual key of its code
// (character keys looked up by that text's first byte) and the shift, alternate and command
// (control) modifiers.
KeyEvent KeyFromVst3Key(char16_t key, int32_t keyCode, int32_t modifiers) noexcept;

inline constexpr int32_t kVst3KeySpace = 7;
inline constexpr int32_t kVirtualKeySpace = 32;

}  // namespace plugkit
