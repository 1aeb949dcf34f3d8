// Keys typed into the page, as the injected key scripts report them.
#pragma once

#include <cstdint>

#include "framework/core/key_event.h"

namespace plugkit {

// The framework key code of a browser legacy key code; 0 for keys the framework has none for.
int32_t VirtualKeyFromPageKeyCode(int32_t keyCode) noexcept;

// The record of a page key event. The text is kept only when it is exactly one code point
// (the browser names other keys, "Shift" or "ArrowUp", with whole words): otherwise "".
KeyEvent KeyFromPageEvent(int32_t keyCode, const char* text, bool shift, bool control, bool alt) noexcept;

}  // namespace plugkit
