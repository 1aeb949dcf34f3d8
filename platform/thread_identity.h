// Which thread runs the caller, asked without allocating: a module's own threading runtime
// would allocate a record on the first query from a thread it did not create (a host's
// audio thread).
#pragma once

#include <cstdint>

namespace plugkit::platform {

// Distinct for threads that run at the same time; never 0.
uint64_t CurrentThreadId() noexcept;

}  // namespace plugkit::platform
