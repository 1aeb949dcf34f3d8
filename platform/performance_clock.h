// The machine-wide monotonic clock that processes compare time stamps on (the tempo block's
// writer and its readers), in milliseconds.
#pragma once

#include <cstdint>

namespace plugkit::platform {

// Milliseconds for a reading of a counter that runs at `frequency` ticks per second,
// truncated; computed through whole nanoseconds without overflow for any counter value a
// machine can reach. 0 for a frequency or counter below 1.
int64_t CounterToMs(int64_t counter, int64_t frequency) noexcept;

// Now, on that clock. Makes no allocation; safe on an audio thread.
int64_t PerformanceClockNowMs() noexcept;

}  // namespace plugkit::platform
