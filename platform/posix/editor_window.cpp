#include "platform/editor_window.h"

namespace plugkit::platform {

// The editor window here is an opaque handle from the host: there is nothing to ask it.
bool QueryWindowDpi(void*, uint32_t&) noexcept { return false; }

bool WindowClientSize(void*, int32_t&, int32_t&) noexcept { return false; }

bool PostSpaceKeyDown(void*) noexcept { return false; }

}  // namespace plugkit::platform
