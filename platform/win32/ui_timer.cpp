// Thread timers: SetTimer without a window posts WM_TIMER to the creating thread, whose
// message loop calls the timer procedure. The Windows procedure cannot carry our own
// procedure along, so a small table maps each id to it. Under a test's clock (ui_clock.h) the
// timers are clocked ones instead.
#include "platform/ui_timer.h"

#include <windows.h>

#include <atomic>
#include <mutex>
#include <utility>
#include <vector>

#include "platform/ui_clock.h"

namespace plugkit::platform {
namespace {

std::mutex tableMutex;
std::vector<std::pair<UINT_PTR, UiTimerProcedure>> procedures;
std::atomic<bool> failStarts{false};

UiTimerProcedure ProcedureOf(UINT_PTR id) {
  std::lock_guard<std::mutex> lock(tableMutex);
  for (const auto& [timerId, procedure] : procedures)
    if (timerId == id) return procedure;
  return nullptr;
}

void CALLBACK OnThreadTimer(HWND, UINT, UINT_PTR id, DWORD) {
  // A late WM_TIMER of a timer killed from another thread finds no procedure.
  if (UiTimerProcedure procedure = ProcedureOf(id)) procedure(id);
}

}  // namespace

UiTimerId StartUiTimer(uint32_t intervalMs, UiTimerProcedure procedure) noexcept {
  if (procedure == nullptr || failStarts.load()) return 0;
  if (UiClock* clock = InstalledUiClock()) return StartClockedUiTimer(*clock, intervalMs, procedure);
  const UINT_PTR id = SetTimer(nullptr, 0, intervalMs, OnThreadTimer);
  if (id == 0) return 0;
  try {
    std::lock_guard<std::mutex> lock(tableMutex);
    procedures.emplace_back(id, procedure);
  } catch (...) {
    KillTimer(nullptr, id);
    return 0;
  }
  return id;
}

void KillUiTimer(UiTimerId id) noexcept {
  if (id == 0 || KillClockedUiTimer(id)) return;
  KillTimer(nullptr, id);
  std::lock_guard<std::mutex> lock(tableMutex);
  for (auto it = procedures.begin(); it != procedures.end(); ++it) {
    if (it->first == id) {
      procedures.erase(it);
      return;
    }
  }
}

void SetUiTimerFailureForTesting(bool fail) noexcept { failStarts.store(fail); }

}  // namespace plugkit::platform
