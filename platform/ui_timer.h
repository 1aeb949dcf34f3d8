// Repeating timers delivered by the creating thread's UI loop, without a window of our own
// (thread timers on Windows). A timer fires only on the thread that started it, and only
// while that thread runs its loop (the host's message loop, or RunUiLoopFor / PumpUiLoop).
#pragma once

#include <cstdint>

namespace plugkit::platform {

using UiTimerId = uintptr_t;
using UiTimerProcedure = void (*)(UiTimerId id) noexcept;

// Starts a timer that calls procedure with its id about every intervalMs milliseconds (at
// least 10). Returns a non-zero id, or 0 when no timer could be made.
UiTimerId StartUiTimer(uint32_t intervalMs, UiTimerProcedure procedure) noexcept;

// Stops the timer: its procedure is never called again. Harmless for 0 and for ids already
// stopped. Meant for the creating thread; from another thread the platform timer itself may
// live on, but its firings no longer reach the procedure.
void KillUiTimer(UiTimerId id) noexcept;

// Test seam: while set, StartUiTimer fails as a platform that cannot make timers would.
void SetUiTimerFailureForTesting(bool fail) noexcept;

}  // namespace plugkit::platform
