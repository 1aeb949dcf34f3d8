#include "platform/performance_clock.h"

#include <windows.h>

namespace plugkit::platform {

int64_t PerformanceClockNowMs() noexcept {
  LARGE_INTEGER counter{};
  LARGE_INTEGER frequency{};
  QueryPerformanceCounter(&counter);
  QueryPerformanceFrequency(&frequency);
  return CounterToMs(counter.QuadPart, frequency.QuadPart);
}

}  // namespace plugkit::platform
