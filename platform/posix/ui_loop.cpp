// Stand-in for thread timers: a table of timers, each bound to the thread that started it,
// fired by that thread when it pumps its loop. Due times follow the timer's period; a
// timer that fell behind fires once and resumes a period later, as a window timer does.
#include <algorithm>
#include <atomic>
#include <chrono>
#include <mutex>
#include <thread>
#include <vector>

#include "platform/posix/ui_clock.h"
#include "platform/ui_loop.h"
#include "platform/ui_timer.h"

namespace plugkit::platform {
namespace {

constexpr uint32_t kMinimumIntervalMs = 10;

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

struct TimerEntry {
  UiTimerId id;
  uint32_t intervalMs;
  uint64_t dueMs;
  UiTimerProcedure procedure;
  std::thread::id thread;
};

SteadyClock steadyClock;
std::atomic<UiClock*> installedClock{nullptr};
std::atomic<bool> failStarts{false};

std::mutex tableMutex;
std::vector<TimerEntry> table;
UiTimerId lastId = 0;

UiClock& Clock() {
  UiClock* clock = installedClock.load();
  return clock != nullptr ? *clock : steadyClock;
}

// The ids of this thread's timers due at nowMs, in the order they were started.
std::vector<UiTimerId> DueTimers(uint64_t nowMs) {
  std::vector<UiTimerId> due;
  std::lock_guard<std::mutex> lock(tableMutex);
  const std::thread::id self = std::this_thread::get_id();
  for (const TimerEntry& entry : table)
    if (entry.thread == self && entry.dueMs <= nowMs) due.push_back(entry.id);
  return due;
}

// Reschedules the timer and hands back its procedure, unless a callback that ran before
// it in this pump stopped it.
UiTimerProcedure TakeFiring(UiTimerId id, uint64_t nowMs) {
  std::lock_guard<std::mutex> lock(tableMutex);
  for (TimerEntry& entry : table) {
    if (entry.id != id) continue;
    if (entry.dueMs > nowMs) return nullptr;
    entry.dueMs += entry.intervalMs;
    if (entry.dueMs <= nowMs) entry.dueMs = nowMs + entry.intervalMs;
    return entry.procedure;
  }
  return nullptr;
}

void FireDueTimers(uint64_t nowMs) {
  for (UiTimerId id : DueTimers(nowMs))
    if (UiTimerProcedure procedure = TakeFiring(id, nowMs)) procedure(id);
}

// The earliest due time of this thread's timers, or limitMs when none is earlier.
uint64_t NextDueMs(uint64_t limitMs) {
  std::lock_guard<std::mutex> lock(tableMutex);
  const std::thread::id self = std::this_thread::get_id();
  uint64_t next = limitMs;
  for (const TimerEntry& entry : table)
    if (entry.thread == self) next = std::min(next, entry.dueMs);
  return next;
}

}  // namespace

UiTimerId StartUiTimer(uint32_t intervalMs, UiTimerProcedure procedure) noexcept {
  if (procedure == nullptr || failStarts.load()) return 0;
  const uint32_t interval = std::max(intervalMs, kMinimumIntervalMs);
  const uint64_t now = Clock().NowMs();
  try {
    std::lock_guard<std::mutex> lock(tableMutex);
    if (++lastId == 0) ++lastId;
    table.push_back(TimerEntry{lastId, interval, now + interval, procedure, std::this_thread::get_id()});
    return lastId;
  } catch (...) {
    return 0;
  }
}

void KillUiTimer(UiTimerId id) noexcept {
  if (id == 0) return;
  std::lock_guard<std::mutex> lock(tableMutex);
  table.erase(std::remove_if(table.begin(), table.end(), [id](const TimerEntry& e) { return e.id == id; }),
              table.end());
}

void SetUiTimerFailureForTesting(bool fail) noexcept { failStarts.store(fail); }

void SetUiClockForTesting(UiClock* clock) noexcept { installedClock.store(clock); }

void PumpUiLoop() noexcept {
  try {
    FireDueTimers(Clock().NowMs());
  } catch (...) {
    // Out of memory while listing due timers: they fire on the next pump.
  }
}

void RunUiLoopFor(uint32_t milliseconds) noexcept {
  UiClock& clock = Clock();
  const uint64_t deadline = clock.NowMs() + milliseconds;
  for (;;) {
    PumpUiLoop();
    const uint64_t now = clock.NowMs();
    if (now >= deadline) return;
    clock.WaitUntilMs(std::max(now + 1, NextDueMs(deadline)));
  }
}

}  // namespace plugkit::platform
