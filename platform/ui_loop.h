// The UI thread's loop, for code that has no host to run it (our own host, tests): window
// messages and timers on Windows, the timers of the stand-in elsewhere. Nothing here makes
// a thread; timers are delivered on the calling thread.
#pragma once

#include <cstdint>

namespace plugkit::platform {

// Delivers what is due on the calling thread now, without waiting.
void PumpUiLoop() noexcept;

// Runs the calling thread's loop for about milliseconds, delivering timers (and on Windows
// every window message) as they fall due.
void RunUiLoopFor(uint32_t milliseconds) noexcept;

}  // namespace plugkit::platform
