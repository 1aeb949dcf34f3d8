// A key as the editor delegate's key hooks receive it, from the page or from the host.
#pragma once

#include <cstdint>

namespace plugkit {

struct KeyEvent {
  int32_t VK = 0;     // framework virtual-key code; 0 when the key has none
  char utf8[5] = {};  // the key's text: one code point of UTF-8, NUL-terminated, or ""
  bool S = false;     // shift held
  bool C = false;     // control held
  bool A = false;     // alt held
};

}  // namespace plugkit
