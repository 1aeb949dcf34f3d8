#include "framework/core/grow_buffer.h"

#include <algorithm>
#include <atomic>
#include <cstdlib>
#include <cstring>
#include <limits>
#include <utility>

namespace plugkit {
namespace {

constexpr int64_t kPage = 4096;
// Allocator overhead per block: a page-granular block plus this fills whole 4 KiB pages.
constexpr int64_t kAllocatorOverhead = 96;
constexpr int64_t kMaxPageStep = 4 * 1024 * 1024;

void* DefaultRealloc(void* block, std::size_t bytes) { return std::realloc(block, bytes); }

std::atomic<GrowBufferReallocFunction> g_realloc{&DefaultRealloc};

}  // namespace

GrowBufferReallocFunction SetGrowBufferReallocForTesting(GrowBufferReallocFunction fn) noexcept {
  return g_realloc.exchange(fn != nullptr ? fn : &DefaultRealloc);
}

GrowBuffer::GrowBuffer(int32_t granularity) noexcept : granularity_(std::max<int32_t>(1, granularity)) {}

GrowBuffer::~GrowBuffer() { FreeStorage(); }

GrowBuffer::GrowBuffer(GrowBuffer&& other) noexcept
    : data_(std::exchange(other.data_, nullptr)),
      capacity_(std::exchange(other.capacity_, 0)),
      size_(std::exchange(other.size_, 0)),
      granularity_(other.granularity_) {}

GrowBuffer& GrowBuffer::operator=(GrowBuffer&& other) noexcept {
  if (this != &other) {
    FreeStorage();
    data_ = std::exchange(other.data_, nullptr);
    capacity_ = std::exchange(other.capacity_, 0);
    size_ = std::exchange(other.size_, 0);
    granularity_ = other.granularity_;
  }
  return *this;
}

void GrowBuffer::FreeStorage() noexcept {
  std::free(data_);
  data_ = nullptr;
  capacity_ = 0;
  size_ = 0;
}

int64_t GrowBuffer::OffsetOf(const void* p) const noexcept {
  if (data_ == nullptr || p == nullptr) return -1;
  const auto at = reinterpret_cast<std::uintptr_t>(p);
  const auto begin = reinterpret_cast<std::uintptr_t>(data_);
  if (at < begin || at >= begin + static_cast<std::uintptr_t>(capacity_)) return -1;
  return static_cast<int64_t>(at - begin);
}

int64_t GrowBuffer::CapacityFor(int32_t n) const noexcept {
  if (n == 0) return 0;
  // 64-bit sums: n + step can pass INT32_MAX for large n, which must fail, not wrap.
  const int64_t size = n;
  int64_t step = std::max<int64_t>(size / 2, granularity_);
  int64_t capacity;
  if (granularity_ < kPage) {
    capacity = size + step;
  } else {
    step = std::clamp<int64_t>(step / kPage * kPage, kPage, kMaxPageStep);
    capacity = (size + kAllocatorOverhead + step) / kPage * kPage - kAllocatorOverhead;
  }
  return capacity > std::numeric_limits<int32_t>::max() ? -1 : capacity;
}

void* GrowBuffer::Resize(int32_t n, bool allowShrink) noexcept {
  n = std::max<int32_t>(n, 0);
  if (n == size_) return Data();

  int64_t threshold = 0;
  if (allowShrink && n < size_) {
    const int64_t capacity = capacity_;
    threshold = std::max<int64_t>(1, std::min<int64_t>(capacity / 2, capacity - 4 * int64_t{granularity_}));
  }
  if (n > capacity_ || n < threshold) {
    const int64_t newCapacity = CapacityFor(n);
    if (newCapacity < 0) return Data();
    if (newCapacity == 0) {
      FreeStorage();
      return nullptr;
    }
    if (newCapacity != capacity_) {
      // realloc resizes in place where it can, else allocates, copies and frees; on failure
      // it leaves the old block untouched, which is the rule here too.
      void* block = g_realloc.load(std::memory_order_relaxed)(data_, static_cast<std::size_t>(newCapacity));
      if (block == nullptr) return Data();
      data_ = static_cast<unsigned char*>(block);
      capacity_ = static_cast<int32_t>(newCapacity);
    }
  }
  size_ = n;
  return Data();
}

bool GrowBuffer::Assign(const GrowBuffer& other) noexcept {
  if (this == &other) return true;
  Resize(other.size_, true);
  if (size_ != other.size_) {
    FreeStorage();
    return false;
  }
  if (size_ > 0) std::memcpy(data_, other.data_, static_cast<std::size_t>(size_));
  return true;
}

bool GrowBuffer::Append(const void* bytes, int32_t n) noexcept {
  if (n < 0 || (bytes == nullptr && n > 0)) return false;
  if (n == 0) return true;
  const int64_t oldSize = size_;
  const int64_t needed = oldSize + n;
  if (needed > std::numeric_limits<int32_t>::max()) return false;
  // A source inside this block is re-pointed after the block may have moved.
  const int64_t offset = OffsetOf(bytes);
  Resize(static_cast<int32_t>(needed), true);
  if (size_ != needed) return false;
  const void* source = offset >= 0 ? data_ + offset : bytes;
  std::memmove(data_ + oldSize, source, static_cast<std::size_t>(n));
  return true;
}

}  // namespace plugkit
