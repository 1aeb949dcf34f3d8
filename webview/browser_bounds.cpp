#include "webview/browser_bounds.h"

#include <cmath>
#include <cstdlib>

namespace plugkit::webview {

float DpiScale(bool dpiKnown, uint32_t dpi) noexcept {
  if (!dpiKnown || dpi == 96) return 1.0f;
  return static_cast<float>(dpi) / 96.0f;
}

webview2::Rect ScaledBounds(float scale, float x, float y, float width, float height) noexcept {
  auto up = [](float value) { return static_cast<int32_t>(std::ceil(value)); };
  return webview2::Rect{up(scale * x), up(scale * y), up(scale * (x + width)) + 1, up(scale * (y + height)) + 1};
}

bool ClientAreaFitsOpening(const webview2::Rect& computed, int32_t width, int32_t height) noexcept {
  return width > 0 && height > 0 && std::abs(static_cast<int64_t>(computed.right) - width) <= 2 &&
         std::abs(static_cast<int64_t>(computed.bottom) - height) <= 2;
}

}  // namespace plugkit::webview
