#include "platform/allocation_hook.h"

#include <atomic>
#include <cstddef>

// Offered by the address sanitizer's runtime; absent (null) in a build without it. Default
// visibility, so that it binds to the runtime even where our symbols are hidden.
extern "C" int __sanitizer_install_malloc_and_free_hooks(void (*malloc_hook)(const volatile void*, size_t),
                                                         void (*free_hook)(const volatile void*))
    __attribute__((weak, visibility("default")));

namespace plugkit::platform {
namespace {

// Read by the runtime's hook on every thread that allocates, while one thread installs it.
std::atomic<void (*)()> allocationCallback{nullptr};

void OnMalloc(const volatile void*, size_t) {
  if (void (*callback)() = allocationCallback.load(std::memory_order_acquire)) callback();
}

// The runtime installs a pair only: frees are of no interest.
void OnFree(const volatile void*) {}

}  // namespace

bool InstallAllocationHook(void (*onAllocate)()) {
  if (__sanitizer_install_malloc_and_free_hooks == nullptr) return false;
  allocationCallback.store(onAllocate, std::memory_order_release);
  return __sanitizer_install_malloc_and_free_hooks(&OnMalloc, &OnFree) != 0;
}

}  // namespace plugkit::platform
