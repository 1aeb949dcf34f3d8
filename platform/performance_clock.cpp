#include "platform/performance_clock.h"

namespace plugkit::platform {

int64_t CounterToMs(int64_t counter, int64_t frequency) noexcept {
  if (counter <= 0 || frequency <= 0) return 0;
  constexpr int64_t kNsPerSecond = 1000000000;
  constexpr int64_t kNsPerMs = 1000000;
  // The common 10 MHz counter is an exact 100 ns tick.
  if (frequency == 10000000) return counter / (kNsPerMs / 100);
  const int64_t seconds = counter / frequency;
  const int64_t remainder = counter % frequency;
  // remainder x 1e9 overflows 64 bits for counters faster than about 9.2 GHz.
  __extension__ using Wide = unsigned __int128;
  const int64_t fraction =
      static_cast<int64_t>(static_cast<Wide>(remainder) * kNsPerSecond / static_cast<Wide>(frequency));
  return seconds * (kNsPerSecond / kNsPerMs) + fraction / kNsPerMs;
}

}  // namespace plugkit::platform
