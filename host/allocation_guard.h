// Catches heap allocation on the audio thread: while a guard is armed on a thread, every
// allocation made on that thread (by the host or by a watched module) is counted.
#pragma once

#include <cstdint>

namespace tarnwell::host {

class AllocationGuard {
 public:
  AllocationGuard();
  ~AllocationGuard();
  AllocationGuard(const AllocationGuard&) = delete;
  AllocationGuard& operator=(const AllocationGuard&) = delete;

  // Allocations counted on this thread since the guard was armed.
  uint64_t Count() const;

 private:
  uint64_t start_;
  bool wasArmed_;
};

// Makes a loaded module's own allocator calls visible to the guard. Modules that bind to
// the host's allocator (shared C++ runtime) need nothing; this covers modules that carry a
// runtime of their own. Returns false when there was nothing to watch.
bool WatchModuleAllocations(void* moduleHandle);

// True when plain malloc/calloc/realloc calls of the whole process are counted too (the
// runtime offers a hook); otherwise only operator new and watched modules are.
bool CHeapCallsAreWatched();

// Allocations counted on this thread while armed, over the thread's life.
uint64_t ArmedAllocationsOnThisThread();

}  // namespace tarnwell::host
