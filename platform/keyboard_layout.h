// Which key of the user's keyboard layout types a character.
#pragma once

#include <cstdint>

namespace plugkit::platform {

// The key typing the 8-bit character in the calling thread's keyboard layout: the virtual
// key code in bits 0-7 and the shift state in bits 8-15 (1 shift, 2 control, 4 alt), or -1
// when no key types it. Outside Windows a fixed US layout stands in for the user's.
int32_t VirtualKeyForCharacter(char character) noexcept;

}  // namespace plugkit::platform
