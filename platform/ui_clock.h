// The clock a UI loop runs its timers on. The Linux stand-in always runs on one (the steady
// clock unless a test installs another); Windows uses its own thread timers, in real time,
// until a test installs a clock. A manual clock makes the timer firings over a run of the
// loop exact and take no real time.
#pragma once

#include <cstdint>

#include "platform/ui_timer.h"

namespace plugkit::platform {

class UiClock {
 public:
  virtual ~UiClock() = default;
  virtual uint64_t NowMs() = 0;
  // Returns once NowMs() has reached timeMs (a manual clock simply moves there).
  virtual void WaitUntilMs(uint64_t timeMs) = 0;
};

// nullptr restores the platform's own timing. The clock must outlive its use; timers started
// under one clock are meant to be stopped before it goes.
void SetUiClockForTesting(UiClock* clock) noexcept;

// The clock a test installed, or nullptr.
UiClock* InstalledUiClock() noexcept;

// The timers that run on a clock: a table of timers, each bound to the thread that started it
// and fired by that thread's loop. Due times follow the timer's period; a timer that fell
// behind fires once and resumes a period later, as a window timer does.
UiTimerId StartClockedUiTimer(UiClock& clock, uint32_t intervalMs, UiTimerProcedure procedure) noexcept;
// False when no clocked timer has that id.
bool KillClockedUiTimer(UiTimerId id) noexcept;
// Fires this thread's clocked timers that are due now.
void FireDueClockedUiTimers(UiClock& clock) noexcept;
// Runs the loop on the clock for milliseconds: dispatchOthers delivers what else the loop
// carries (false ends the run early), then the due timers fire, then the clock moves on to
// the next due time.
void RunClockedUiLoopFor(UiClock& clock, uint32_t milliseconds, bool (*dispatchOthers)() noexcept) noexcept;

}  // namespace plugkit::platform
