#include "platform/shell_link.h"

#include <windows.h>
#include <shellapi.h>

namespace plugkit::platform {

bool IsInternetConnected() noexcept {
  // wininet is loaded only when a link is opened, so the module does not import it.
  using ConnectedStateFunction = BOOL(WINAPI*)(LPDWORD, DWORD);
  static ConnectedStateFunction query = nullptr;
  if (query == nullptr) {
    HMODULE wininet = LoadLibraryW(L"wininet.dll");
    if (wininet == nullptr) return false;
    query = reinterpret_cast<ConnectedStateFunction>(
        reinterpret_cast<void*>(GetProcAddress(wininet, "InternetGetConnectedState")));
    if (query == nullptr) return false;
  }
  DWORD flags = 0;
  return query(&flags, 0) != FALSE;
}

intptr_t OpenInShell(void* parentWindow, const char16_t* uri) noexcept {
  if (uri == nullptr) return 0;
  HINSTANCE result = ShellExecuteW(static_cast<HWND>(parentWindow), L"open", reinterpret_cast<const wchar_t*>(uri),
                                   nullptr, nullptr, SW_SHOWNORMAL);
  return reinterpret_cast<intptr_t>(result);
}

}  // namespace plugkit::platform
