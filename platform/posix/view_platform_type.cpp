#include "platform/view_platform_type.h"

#include <cstring>

namespace plugkit::platform {

const bool kViewWithoutBrowserLoader = false;

bool IsSupportedViewPlatformType(const char* type) noexcept {
  return type != nullptr && (std::strcmp(type, "X11EmbedWindowID") == 0 || std::strcmp(type, "HWND") == 0);
}

}  // namespace plugkit::platform
