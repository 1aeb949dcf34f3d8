#include "platform/task_memory.h"

#include <objbase.h>

namespace plugkit::platform {

void* TaskMemAlloc(std::size_t bytes) noexcept { return CoTaskMemAlloc(bytes); }

void TaskMemFree(void* block) noexcept { CoTaskMemFree(block); }

}  // namespace plugkit::platform
