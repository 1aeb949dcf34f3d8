// The allocator the browser uses for texts it hands out and for texts it takes from us.
#pragma once

#include <cstddef>

namespace plugkit::platform {

// Null on failure.
void* TaskMemAlloc(std::size_t bytes) noexcept;
// Null is allowed.
void TaskMemFree(void* block) noexcept;

}  // namespace plugkit::platform
