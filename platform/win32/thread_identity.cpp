#include "platform/thread_identity.h"

#include <windows.h>

namespace plugkit::platform {

uint64_t CurrentThreadId() noexcept { return GetCurrentThreadId(); }

}  // namespace plugkit::platform
