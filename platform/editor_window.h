// What the web view needs to know about, and send to, the window the host gives the editor.
#pragma once

#include <cstdint>

namespace plugkit::platform {

// The window's DPI. False when the platform has no per-window DPI query (the caller then
// uses a scale of 1.0).
bool QueryWindowDpi(void* window, uint32_t& dpi) noexcept;

// The window's client area size in pixels; false when it cannot be read.
bool WindowClientSize(void* window, int32_t& width, int32_t& height) noexcept;

// Posts a key-down of the space bar to the window, as if typed there; false when it could
// not be posted.
bool PostSpaceKeyDown(void* window) noexcept;

}  // namespace plugkit::platform
