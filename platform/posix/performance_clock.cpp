#include "platform/performance_clock.h"

#include <time.h>

namespace plugkit::platform {

// The stand-in's counter is CLOCK_MONOTONIC in nanoseconds, the same in every process.
int64_t PerformanceClockNowMs() noexcept {
  timespec now{};
  clock_gettime(CLOCK_MONOTONIC, &now);
  return CounterToMs(static_cast<int64_t>(now.tv_sec) * 1000000000 + now.tv_nsec, 1000000000);
}

}  // namespace plugkit::platform
