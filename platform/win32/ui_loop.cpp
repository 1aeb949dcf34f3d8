#include "platform/ui_loop.h"

#include "platform/ui_clock.h"

#include <windows.h>

namespace plugkit::platform {
namespace {

// Dispatches every waiting message; false when WM_QUIT arrived (put back for the caller's
// own loop to see).
bool DispatchWaitingMessages() noexcept {
  MSG message;
  while (PeekMessageW(&message, nullptr, 0, 0, PM_REMOVE)) {
    if (message.message == WM_QUIT) {
      PostQuitMessage(static_cast<int>(message.wParam));
      return false;
    }
    TranslateMessage(&message);
    DispatchMessageW(&message);
  }
  return true;
}

}  // namespace

// Under a test's clock the thread timers are clocked ones, fired here as the clock says.
void PumpUiLoop() noexcept {
  DispatchWaitingMessages();
  if (UiClock* clock = InstalledUiClock()) FireDueClockedUiTimers(*clock);
}

void RunUiLoopFor(uint32_t milliseconds) noexcept {
  if (UiClock* clock = InstalledUiClock()) return RunClockedUiLoopFor(*clock, milliseconds, DispatchWaitingMessages);
  const ULONGLONG deadline = GetTickCount64() + milliseconds;
  for (;;) {
    if (!DispatchWaitingMessages()) return;
    const ULONGLONG now = GetTickCount64();
    if (now >= deadline) return;
    MsgWaitForMultipleObjectsEx(0, nullptr, static_cast<DWORD>(deadline - now), QS_ALLINPUT, MWMO_INPUTAVAILABLE);
  }
}

}  // namespace plugkit::platform
