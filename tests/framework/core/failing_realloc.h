// Makes every GrowBuffer reallocation fail while in scope, to prove the out-of-memory rules.
#pragma once

#include <cstddef>

#include "framework/core/grow_buffer.h"

namespace plugkit::testing {

class FailingRealloc {
 public:
  FailingRealloc() : previous_(SetGrowBufferReallocForTesting(&Fail)) {}
  ~FailingRealloc() { SetGrowBufferReallocForTesting(previous_); }
  FailingRealloc(const FailingRealloc&) = delete;
  FailingRealloc& operator=(const FailingRealloc&) = delete;

 private:
  static void* Fail(void*, std::size_t) { return nullptr; }
  GrowBufferReallocFunction previous_;
};

}  // namespace plugkit::testing
