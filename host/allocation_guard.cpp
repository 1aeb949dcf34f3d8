#include "host/allocation_guard.h"

#include <cstdlib>
#include <new>

#include "platform/allocation_hook.h"
#include "platform/import_hook.h"

namespace tarnwell::host {
namespace {

thread_local bool armed = false;
thread_local uint64_t armedAllocations = 0;

inline void Note() {
  if (armed) ++armedAllocations;
}

using MallocFn = void* (*)(size_t);
using CallocFn = void* (*)(size_t, size_t);
using ReallocFn = void* (*)(void*, size_t);
MallocFn moduleMalloc = nullptr;
CallocFn moduleCalloc = nullptr;
ReallocFn moduleRealloc = nullptr;

void* CountedMalloc(size_t n) {
  Note();
  return moduleMalloc(n);
}
void* CountedCalloc(size_t count, size_t n) {
  Note();
  return moduleCalloc(count, n);
}
void* CountedRealloc(void* p, size_t n) {
  Note();
  return moduleRealloc(p, n);
}

void* Allocate(size_t n) {
  Note();
  if (void* p = std::malloc(n == 0 ? 1 : n)) return p;
  throw std::bad_alloc();
}

void* AllocateAligned(size_t n, std::align_val_t alignment) {
  Note();
  size_t a = static_cast<size_t>(alignment);
  size_t rounded = (n + a - 1) / a * a;
  // aligned_alloc is absent from the Windows C runtime; over-allocate there instead.
  void* raw = std::malloc(rounded + a + sizeof(void*));
  if (raw == nullptr) throw std::bad_alloc();
  uintptr_t start = reinterpret_cast<uintptr_t>(raw) + sizeof(void*);
  uintptr_t aligned = (start + a - 1) & ~(static_cast<uintptr_t>(a) - 1);
  reinterpret_cast<void**>(aligned)[-1] = raw;
  return reinterpret_cast<void*>(aligned);
}

void FreeAligned(void* p) {
  if (p) std::free(reinterpret_cast<void**>(p)[-1]);
}

}  // namespace

// malloc and realloc calls that do not pass through operator new (C code, realloc-grown
// buffers) are seen through the runtime's allocation hook where there is one.
bool InstallProcessHookOnce() {
  static const bool installed = plugkit::platform::InstallAllocationHook(&Note);
  return installed;
}

AllocationGuard::AllocationGuard() : start_(armedAllocations), wasArmed_(armed) {
  InstallProcessHookOnce();
  armed = true;
}

AllocationGuard::~AllocationGuard() { armed = wasArmed_; }

uint64_t AllocationGuard::Count() const { return armedAllocations - start_; }

uint64_t ArmedAllocationsOnThisThread() { return armedAllocations; }

bool CHeapCallsAreWatched() { return InstallProcessHookOnce(); }

bool WatchModuleAllocations(void* moduleHandle) {
  using plugkit::platform::HookModuleImport;
  void* original = nullptr;
  bool any = false;
  if (HookModuleImport(moduleHandle, "msvcrt.dll", "malloc", reinterpret_cast<void*>(&CountedMalloc), &original)) {
    moduleMalloc = reinterpret_cast<MallocFn>(original);
    any = true;
  }
  if (HookModuleImport(moduleHandle, "msvcrt.dll", "calloc", reinterpret_cast<void*>(&CountedCalloc), &original)) {
    moduleCalloc = reinterpret_cast<CallocFn>(original);
    any = true;
  }
  if (HookModuleImport(moduleHandle, "msvcrt.dll", "realloc", reinterpret_cast<void*>(&CountedRealloc), &original)) {
    moduleRealloc = reinterpret_cast<ReallocFn>(original);
    any = true;
  }
  return any;
}

}  // namespace tarnwell::host

// The host's own allocations, and on Linux a module's (it binds to these through the
// dynamic linker when the executable exports them).
void* operator new(size_t n) { return tarnwell::host::Allocate(n); }
void* operator new[](size_t n) { return tarnwell::host::Allocate(n); }
void* operator new(size_t n, const std::nothrow_t&) noexcept {
  try {
    return tarnwell::host::Allocate(n);
  } catch (...) {
    return nullptr;
  }
}
void* operator new[](size_t n, const std::nothrow_t&) noexcept {
  try {
    return tarnwell::host::Allocate(n);
  } catch (...) {
    return nullptr;
  }
}
void operator delete(void* p) noexcept { std::free(p); }
void operator delete[](void* p) noexcept { std::free(p); }
void operator delete(void* p, size_t) noexcept { std::free(p); }
void operator delete[](void* p, size_t) noexcept { std::free(p); }
void* operator new(size_t n, std::align_val_t a) { return tarnwell::host::AllocateAligned(n, a); }
void* operator new[](size_t n, std::align_val_t a) { return tarnwell::host::AllocateAligned(n, a); }
void operator delete(void* p, std::align_val_t) noexcept { tarnwell::host::FreeAligned(p); }
void operator delete[](void* p, std::align_val_t) noexcept { tarnwell::host::FreeAligned(p); }
void operator delete(void* p, size_t, std::align_val_t) noexcept { tarnwell::host::FreeAligned(p); }
void operator delete[](void* p, size_t, std::align_val_t) noexcept { tarnwell::host::FreeAligned(p); }
