// Stand-in for thread timers: the clocked timers of ui_clock.h, on the steady clock unless a
// test installed another.
#include <atomic>
#include <chrono>
#include <thread>

#include "platform/ui_clock.h"
#include "platform/ui_loop.h"
#include "platform/ui_timer.h"

namespace plugkit::platform {
namespace {

class SteadyClock final : public UiClock {
 public:
  uint64_t NowMs() override {
    using namespace std::chrono;
    return static_cast<uint64_t>(duration_cast<milliseconds>(steady_clock::now().time_since_epoch()).count());
  }
  void WaitUntilMs(uint64_t timeMs) override {
    const uint64_t now = NowMs();
    if (timeMs > now) std::this_thread::sleep_for(std::chrono::milliseconds(timeMs - now));
  }
};

SteadyClock steadyClock;
std::atomic<bool> failStarts{false};

UiClock& Clock() {
  UiClock* clock = InstalledUiClock();
  return clock != nullptr ? *clock : steadyClock;
}

bool NothingElseToDispatch() noexcept { return true; }

}  // namespace

UiTimerId StartUiTimer(uint32_t intervalMs, UiTimerProcedure procedure) noexcept {
  if (procedure == nullptr || failStarts.load()) return 0;
  return StartClockedUiTimer(Clock(), intervalMs, procedure);
}

void KillUiTimer(UiTimerId id) noexcept {
  if (id != 0) KillClockedUiTimer(id);
}

void SetUiTimerFailureForTesting(bool fail) noexcept { failStarts.store(fail); }

void PumpUiLoop() noexcept { FireDueClockedUiTimers(Clock()); }

void RunUiLoopFor(uint32_t milliseconds) noexcept { RunClockedUiLoopFor(Clock(), milliseconds, NothingElseToDispatch); }

}  // namespace plugkit::platform
