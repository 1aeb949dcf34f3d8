// The id the operating system gives the calling process.
#pragma once

#include <cstdint>

namespace plugkit::platform {

uint32_t CurrentProcessId() noexcept;

}  // namespace plugkit::platform
