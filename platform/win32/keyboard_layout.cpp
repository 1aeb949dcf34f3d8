#include "platform/keyboard_layout.h"

#include <windows.h>

namespace plugkit::platform {

int32_t VirtualKeyForCharacter(char character) noexcept {
  // SHORT, so -1 ("no key") arrives sign-extended.
  return VkKeyScanExA(character, GetKeyboardLayout(0));
}

}  // namespace plugkit::platform
