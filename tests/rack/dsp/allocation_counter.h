#pragma once

#include <cstdint>

// The test executable replaces the global operator new and delete (allocation_counter.cpp), so these
// guards see every allocation made through them, from any code, while they are alive.

// Counts allocations made while alive.
class ScopedAllocationCounter {
 public:
  ScopedAllocationCounter();
  ~ScopedAllocationCounter();
  ScopedAllocationCounter(const ScopedAllocationCounter&) = delete;
  ScopedAllocationCounter& operator=(const ScopedAllocationCounter&) = delete;

  std::int64_t Count() const;
};

// Makes every allocation throw std::bad_alloc while alive, to drive out-of-memory paths.
class ScopedAllocationFailure {
 public:
  ScopedAllocationFailure();
  ~ScopedAllocationFailure();
  ScopedAllocationFailure(const ScopedAllocationFailure&) = delete;
  ScopedAllocationFailure& operator=(const ScopedAllocationFailure&) = delete;
};
