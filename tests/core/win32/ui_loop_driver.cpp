#include "ui_loop_driver.h"

#include <chrono>
#include <thread>

#include "platform/ui_loop.h"

namespace plugkit::testing {

UiLoopDriver::UiLoopDriver() = default;
UiLoopDriver::~UiLoopDriver() = default;
void UiLoopDriver::RunFor(uint32_t milliseconds) { platform::RunUiLoopFor(milliseconds); }
void UiLoopDriver::Idle(uint32_t milliseconds) {
  std::this_thread::sleep_for(std::chrono::milliseconds(milliseconds));
}
// Timer resolution and scheduling under load: generous, so that the count only catches a
// timer that does not run at its rate at all.
int UiLoopDriver::Tolerance(int expectedFires) const { return expectedFires / 2; }

}  // namespace plugkit::testing
