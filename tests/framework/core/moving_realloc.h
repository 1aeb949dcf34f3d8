// Makes every GrowBuffer reallocation move the block (and free the old one at once) while in
// scope, so that a source pointer into the old block that was not re-pointed is caught by
// AddressSanitizer as a use after free, and reads stale bytes in the other build.
#pragma once

#include <cstdlib>
#include <cstring>
#include <map>

#include "framework/core/grow_buffer.h"

namespace plugkit::testing {

class MovingRealloc {
 public:
  MovingRealloc() : previous_(SetGrowBufferReallocForTesting(&Move)) {}
  ~MovingRealloc() { SetGrowBufferReallocForTesting(previous_); }
  MovingRealloc(const MovingRealloc&) = delete;
  MovingRealloc& operator=(const MovingRealloc&) = delete;

 private:
  // Sizes of the blocks handed out, to copy no more than the old block holds.
  static std::map<void*, std::size_t>& Sizes() {
    static std::map<void*, std::size_t> sizes;
    return sizes;
  }
  static void* Move(void* block, std::size_t bytes) {
    void* moved = std::malloc(bytes);
    if (moved == nullptr) return nullptr;
    if (block != nullptr) {
      const auto old = Sizes().find(block);
      if (old == Sizes().end()) {
        std::free(moved);
        return std::realloc(block, bytes);  // a block from before this scope
      }
      std::memset(moved, 0xEE, bytes);
      std::memcpy(moved, block, old->second < bytes ? old->second : bytes);
      std::memset(block, 0xDD, old->second);
      Sizes().erase(old);
      std::free(block);
    }
    Sizes()[moved] = bytes;
    return moved;
  }
  GrowBufferReallocFunction previous_;
};

}  // namespace plugkit::testing
