#include "ui_loop_driver.h"

#include <atomic>

#include "platform/ui_clock.h"
#include "platform/ui_loop.h"

namespace plugkit::testing {
namespace {

class ManualClock final : public platform::UiClock {
 public:
  uint64_t NowMs() override { return now_.load(); }
  void WaitUntilMs(uint64_t timeMs) override {
    if (timeMs > now_.load()) now_.store(timeMs);
  }
  void Advance(uint64_t ms) { now_.fetch_add(ms); }

 private:
  std::atomic<uint64_t> now_{1'000'000};
};

ManualClock manualClock;

}  // namespace

UiLoopDriver::UiLoopDriver() { platform::SetUiClockForTesting(&manualClock); }
UiLoopDriver::~UiLoopDriver() { platform::SetUiClockForTesting(nullptr); }
void UiLoopDriver::RunFor(uint32_t milliseconds) { platform::RunUiLoopFor(milliseconds); }
void UiLoopDriver::Idle(uint32_t milliseconds) { manualClock.Advance(milliseconds); }

}  // namespace plugkit::testing
