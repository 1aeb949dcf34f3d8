#include "platform/process_id.h"

#include <windows.h>

namespace plugkit::platform {

uint32_t CurrentProcessId() noexcept { return GetCurrentProcessId(); }

}  // namespace plugkit::platform
