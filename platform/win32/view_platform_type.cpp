#include "platform/view_platform_type.h"

#include <cstring>

namespace plugkit::platform {

const bool kViewWithoutBrowserLoader = true;

bool IsSupportedViewPlatformType(const char* type) noexcept {
  return type != nullptr && std::strcmp(type, "HWND") == 0;
}

}  // namespace plugkit::platform
