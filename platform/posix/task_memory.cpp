#include "platform/task_memory.h"

#include <cstdlib>

namespace plugkit::platform {

void* TaskMemAlloc(std::size_t bytes) noexcept { return std::malloc(bytes == 0 ? 1 : bytes); }

void TaskMemFree(void* block) noexcept { std::free(block); }

}  // namespace plugkit::platform
