#include "platform/module_of_address.h"

#include <windows.h>

namespace plugkit::platform {

void* ModuleContainingAddress(const void* address) noexcept {
  HMODULE module = nullptr;
  const DWORD flags = GET_MODULE_HANDLE_EX_FLAG_FROM_ADDRESS | GET_MODULE_HANDLE_EX_FLAG_UNCHANGED_REFCOUNT;
  if (!GetModuleHandleExW(flags, static_cast<LPCWSTR>(address), &module)) return nullptr;
  return module;
}

}  // namespace plugkit::platform
