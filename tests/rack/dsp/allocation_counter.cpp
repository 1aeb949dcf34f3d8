#include "allocation_counter.h"

#include <atomic>
#include <cstdint>
#include <cstdlib>
#include <new>

namespace {

std::atomic<bool> countingArmed{false};
std::atomic<bool> failureArmed{false};
std::atomic<std::int64_t> allocationCount{0};

void* Allocate(std::size_t size) {
  if (countingArmed.load(std::memory_order_relaxed)) {
    allocationCount.fetch_add(1, std::memory_order_relaxed);
  }
  if (failureArmed.load(std::memory_order_relaxed)) {
    throw std::bad_alloc();
  }
  if (void* block = std::malloc(size == 0 ? 1 : size)) {
    return block;
  }
  throw std::bad_alloc();
}

// Over-aligned blocks come from malloc too, with the address malloc gave stored just before the
// block, so one free serves both kinds.
void* AllocateAligned(std::size_t size, std::align_val_t alignment) {
  const auto align = static_cast<std::size_t>(alignment);
  auto* raw = static_cast<char*>(Allocate(size + align + sizeof(void*)));
  const auto address = (reinterpret_cast<std::uintptr_t>(raw) + sizeof(void*) + align - 1) & ~(align - 1);
  auto* block = reinterpret_cast<void*>(address);
  static_cast<void**>(block)[-1] = raw;
  return block;
}

void FreeAligned(void* block) noexcept {
  if (block != nullptr) {
    std::free(static_cast<void**>(block)[-1]);
  }
}

}  // namespace

ScopedAllocationCounter::ScopedAllocationCounter() {
  allocationCount.store(0);
  countingArmed.store(true);
}

ScopedAllocationCounter::~ScopedAllocationCounter() { countingArmed.store(false); }

std::int64_t ScopedAllocationCounter::Count() const { return allocationCount.load(); }

ScopedAllocationFailure::ScopedAllocationFailure() { failureArmed.store(true); }

ScopedAllocationFailure::~ScopedAllocationFailure() { failureArmed.store(false); }

void* operator new(std::size_t size) { return Allocate(size); }
void* operator new[](std::size_t size) { return Allocate(size); }
void* operator new(std::size_t size, const std::nothrow_t&) noexcept {
  try {
    return Allocate(size);
  } catch (const std::bad_alloc&) {
    return nullptr;
  }
}
void* operator new[](std::size_t size, const std::nothrow_t& tag) noexcept { return operator new(size, tag); }
void operator delete(void* block) noexcept { std::free(block); }
void operator delete[](void* block) noexcept { std::free(block); }
void operator delete(void* block, std::size_t) noexcept { std::free(block); }
void operator delete[](void* block, std::size_t) noexcept { std::free(block); }
void operator delete(void* block, const std::nothrow_t&) noexcept { std::free(block); }
void operator delete[](void* block, const std::nothrow_t&) noexcept { std::free(block); }

void* operator new(std::size_t size, std::align_val_t alignment) { return AllocateAligned(size, alignment); }
void* operator new[](std::size_t size, std::align_val_t alignment) { return AllocateAligned(size, alignment); }
void* operator new(std::size_t size, std::align_val_t alignment, const std::nothrow_t&) noexcept {
  try {
    return AllocateAligned(size, alignment);
  } catch (const std::bad_alloc&) {
    return nullptr;
  }
}
void* operator new[](std::size_t size, std::align_val_t alignment, const std::nothrow_t& tag) noexcept {
  return operator new(size, alignment, tag);
}
void operator delete(void* block, std::align_val_t) noexcept { FreeAligned(block); }
void operator delete[](void* block, std::align_val_t) noexcept { FreeAligned(block); }
void operator delete(void* block, std::size_t, std::align_val_t) noexcept { FreeAligned(block); }
void operator delete[](void* block, std::size_t, std::align_val_t) noexcept { FreeAligned(block); }
void operator delete(void* block, std::align_val_t, const std::nothrow_t&) noexcept { FreeAligned(block); }
void operator delete[](void* block, std::align_val_t, const std::nothrow_t&) noexcept { FreeAligned(block); }
