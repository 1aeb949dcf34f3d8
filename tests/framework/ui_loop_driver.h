// Runs the test thread's UI loop for a stretch of time on a manual clock (on Windows too), so
// that its timer counts are exact and take no real time.
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
};

}  // namespace plugkit::testing
