#include "platform/module_of_address.h"

#include <dlfcn.h>

namespace plugkit::platform {

void* ModuleContainingAddress(const void* address) noexcept {
  Dl_info info{};
  if (dladdr(address, &info) == 0 || info.dli_fname == nullptr) return nullptr;
  // RTLD_NOLOAD only finds the already loaded object; closing again keeps its count as it was.
  void* handle = dlopen(info.dli_fname, RTLD_LAZY | RTLD_NOLOAD);
  if (handle != nullptr) dlclose(handle);
  return handle;
}

}  // namespace plugkit::platform
