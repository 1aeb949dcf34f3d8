#include "platform/editor_window.h"

#include <windows.h>

namespace plugkit::platform {

bool QueryWindowDpi(void* window, uint32_t& dpi) noexcept {
  // GetDpiForWindow exists from Windows 10 1607 on; older systems get a scale of 1.0.
  using DpiForWindowFunction = UINT(WINAPI*)(HWND);
  static DpiForWindowFunction query = nullptr;
  if (query == nullptr) {
    HMODULE user32 = LoadLibraryW(L"user32.dll");
    if (user32 == nullptr) return false;
    query = reinterpret_cast<DpiForWindowFunction>(reinterpret_cast<void*>(GetProcAddress(user32, "GetDpiForWindow")));
    if (query == nullptr) return false;
  }
  dpi = query(static_cast<HWND>(window));
  return true;
}

bool WindowClientSize(void* window, int32_t& width, int32_t& height) noexcept {
  RECT client{};
  if (window == nullptr || !GetClientRect(static_cast<HWND>(window), &client)) return false;
  width = client.right - client.left;
  height = client.bottom - client.top;
  return true;
}

bool PostSpaceKeyDown(void* window) noexcept {
  if (window == nullptr) return false;
  return PostMessageA(static_cast<HWND>(window), WM_KEYDOWN, VK_SPACE, 0) != FALSE;
}

}  // namespace plugkit::platform
