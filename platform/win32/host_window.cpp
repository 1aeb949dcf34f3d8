#include "platform/host_window.h"

#include <windows.h>

namespace plugkit::platform {

const char* const kViewPlatformType = "HWND";

namespace {
const wchar_t kClassName[] = L"TarnwellHostWindow";

bool RegisterHostClass() {
  static const bool registered = [] {
    WNDCLASSEXW wc{};
    wc.cbSize = sizeof(wc);
    wc.lpfnWndProc = DefWindowProcW;
    wc.hInstance = GetModuleHandleW(nullptr);
    wc.lpszClassName = kClassName;
    return RegisterClassExW(&wc) != 0;
  }();
  return registered;
}
}  // namespace

void* CreateHostWindow(int width, int height) {
  if (!RegisterHostClass()) return nullptr;
  HWND window = CreateWindowExW(0, kClassName, L"Tarnwell Host", WS_OVERLAPPEDWINDOW, CW_USEDEFAULT, CW_USEDEFAULT,
                                width, height, nullptr, nullptr, GetModuleHandleW(nullptr), nullptr);
  if (window != nullptr) return window;
  // Without a display (a headless Wine) only message-only windows exist; one still serves
  // as a parent handle that takes posted messages.
  return CreateWindowExW(0, kClassName, L"Tarnwell Host", 0, 0, 0, width, height, HWND_MESSAGE, nullptr,
                         GetModuleHandleW(nullptr), nullptr);
}

void DestroyHostWindow(void* window) {
  if (window) DestroyWindow(static_cast<HWND>(window));
}

}  // namespace plugkit::platform
