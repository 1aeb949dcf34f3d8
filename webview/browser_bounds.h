// Where the browser sits in the parent window, in device pixels.
#pragma once

#include <cstdint>

#include "webview/webview2/types.h"

namespace plugkit::webview {

// 1.0 when the DPI is unknown or exactly 96, else dpi / 96 (so a DPI of 0 gives 0).
float DpiScale(bool dpiKnown, uint32_t dpi) noexcept;

// Logical x, y, width, height scaled and rounded up (in single precision); right and bottom
// reach one pixel further.
webview2::Rect ScaledBounds(float scale, float x, float y, float width, float height) noexcept;

// Whether a client area of width x height stands for the computed bounds when the browser is
// opened: non-empty and within 2 pixels of their right and bottom edges.
bool ClientAreaFitsOpening(const webview2::Rect& computed, int32_t width, int32_t height) noexcept;

}  // namespace plugkit::webview
