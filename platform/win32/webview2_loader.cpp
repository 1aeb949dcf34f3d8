#include "platform/webview2_loader.h"

#include <windows.h>

#include <string>

#include "platform/module_path.h"
#include "platform/win32/utf16.h"

namespace plugkit::platform {
namespace {

constexpr wchar_t kLoaderDll[] = L"WebView2Loader.dll";
constexpr char kEntryName[] = "CreateCoreWebView2EnvironmentWithOptions";

HMODULE ThisModule() {
  HMODULE module = nullptr;
  const DWORD flags = GET_MODULE_HANDLE_EX_FLAG_FROM_ADDRESS | GET_MODULE_HANDLE_EX_FLAG_UNCHANGED_REFCOUNT;
  if (!GetModuleHandleExW(flags, reinterpret_cast<LPCWSTR>(&FindWebView2EnvironmentEntry), &module)) return nullptr;
  return module;
}

// Beside the module first: the bundle ships its own copy, and a bare name would find
// whichever copy the host's own search order reaches first.
HMODULE LoadLoaderDll() {
  const std::string modulePath = ModuleFilePath(ThisModule());
  const std::wstring wide = win32::Utf8ToWide(modulePath);
  const std::size_t slash = wide.find_last_of(L"\\/");
  if (slash != std::wstring::npos) {
    const std::wstring besideModule = wide.substr(0, slash + 1) + kLoaderDll;
    if (HMODULE dll = LoadLibraryW(besideModule.c_str())) return dll;
  }
  return LoadLibraryW(kLoaderDll);
}

}  // namespace

void* FindWebView2EnvironmentEntry() noexcept {
  // Looked up again while missing, so that installing the DLL needs no restart of the host.
  static void* entry = nullptr;
  if (entry != nullptr) return entry;
  try {
    HMODULE dll = LoadLoaderDll();
    if (dll == nullptr) return nullptr;
    entry = reinterpret_cast<void*>(GetProcAddress(dll, kEntryName));
    if (entry == nullptr) FreeLibrary(dll);
  } catch (...) {
    return nullptr;
  }
  return entry;
}

}  // namespace plugkit::platform
