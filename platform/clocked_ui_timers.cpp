// The table behind the clocked timers (see ui_clock.h), shared by the Linux stand-in and a
// Windows test run on a manual clock.
#include <algorithm>
#include <atomic>
#include <mutex>
#include <thread>
#include <vector>

#include "platform/ui_clock.h"

namespace plugkit::platform {
namespace {

constexpr uint32_t kMinimumIntervalMs = 10;

struct TimerEntry {
  UiTimerId id;
  uint32_t intervalMs;
  uint64_t dueMs;
  UiTimerProcedure procedure;
  std::thread::id thread;
};

std::atomic<UiClock*> installedClock{nullptr};

std::mutex tableMutex;
std::vector<TimerEntry> table;
UiTimerId lastId = 0;

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

void SetUiClockForTesting(UiClock* clock) noexcept { installedClock.store(clock); }

UiClock* InstalledUiClock() noexcept { return installedClock.load(); }

UiTimerId StartClockedUiTimer(UiClock& clock, uint32_t intervalMs, UiTimerProcedure procedure) noexcept {
  const uint32_t interval = std::max(intervalMs, kMinimumIntervalMs);
  const uint64_t now = clock.NowMs();
  try {
    std::lock_guard<std::mutex> lock(tableMutex);
    if (++lastId == 0) ++lastId;
    table.push_back(TimerEntry{lastId, interval, now + interval, procedure, std::this_thread::get_id()});
    return lastId;
  } catch (...) {
    return 0;
  }
}

bool KillClockedUiTimer(UiTimerId id) noexcept {
  std::lock_guard<std::mutex> lock(tableMutex);
  const auto gone = std::remove_if(table.begin(), table.end(), [id](const TimerEntry& e) { return e.id == id; });
  const bool found = gone != table.end();
  table.erase(gone, table.end());
  return found;
}

void FireDueClockedUiTimers(UiClock& clock) noexcept {
  try {
    const uint64_t nowMs = clock.NowMs();
    for (UiTimerId id : DueTimers(nowMs))
      if (UiTimerProcedure procedure = TakeFiring(id, nowMs)) procedure(id);
  } catch (...) {
    // Out of memory while listing due timers: they fire on the next pump.
  }
}

void RunClockedUiLoopFor(UiClock& clock, uint32_t milliseconds, bool (*dispatchOthers)() noexcept) noexcept {
  const uint64_t deadline = clock.NowMs() + milliseconds;
  for (;;) {
    if (!dispatchOthers()) return;
    FireDueClockedUiTimers(clock);
    const uint64_t now = clock.NowMs();
    if (now >= deadline) return;
    clock.WaitUntilMs(std::max(now + 1, NextDueMs(deadline)));
  }
}

}  // namespace plugkit::platform
