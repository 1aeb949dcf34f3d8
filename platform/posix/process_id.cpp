#include "platform/process_id.h"

#include <unistd.h>

namespace plugkit::platform {

uint32_t CurrentProcessId() noexcept { return static_cast<uint32_t>(getpid()); }

}  // namespace plugkit::platform
