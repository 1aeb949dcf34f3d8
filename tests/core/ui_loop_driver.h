// Runs the test thread's UI loop for a stretch of time. The stand-in loop runs on a manual
// clock, so its timer counts are exact and take no real time; the Windows loop runs for
// real, so counts there carry a tolerance.
#pragma once

#include <cstdint>

namespace plugkit::testing {

class UiLoopDriver {
 public:
  UiLoopDriver();
  ~UiLoopDriver();
  UiLoopDriver(const UiLoopDriver&) = delete;
  UiLoopDriver& operator=(const UiLoopDriver&) = delete;

  // Runs the loop, delivering timers as they fall due.
  void RunFor(uint32_t milliseconds);
  // Lets time pass without running the loop.
  void Idle(uint32_t milliseconds);
  // How far a count of timer firings over a run may stray from interval arithmetic.
  int Tolerance(int expectedFires) const;
};

}  // namespace plugkit::testing
