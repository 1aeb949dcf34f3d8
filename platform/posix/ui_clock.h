// The clock the stand-in UI loop runs on. Tests install a manual clock so that timer
// firings over a run of the loop are exact and take no real time.
#pragma once

#include <cstdint>

namespace plugkit::platform {

class UiClock {
 public:
  virtual ~UiClock() = default;
  virtual uint64_t NowMs() = 0;
  // Returns once NowMs() has reached timeMs (a manual clock simply moves there).
  virtual void WaitUntilMs(uint64_t timeMs) = 0;
};

// nullptr restores the steady clock. The clock must outlive its use.
void SetUiClockForTesting(UiClock* clock) noexcept;

}  // namespace plugkit::platform
