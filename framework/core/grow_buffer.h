// GrowBuffer: the framework's growable heap byte block.
// Not thread-safe; growth allocates, so never grow one on the audio thread.
#pragma once

#include <cstddef>
#include <cstdint>

namespace plugkit {

class GrowBuffer {
 public:
  // Growth granularities the framework uses: texts, and lists of pointers or records.
  static constexpr int32_t kTextGranularity = 128;
  static constexpr int32_t kListGranularity = 4096;

  // A granularity below 1 counts as 1.
  explicit GrowBuffer(int32_t granularity = kListGranularity) noexcept;
  ~GrowBuffer();

  // Copies can fail for lack of memory, so they are explicit (Assign); moves cannot.
  GrowBuffer(const GrowBuffer&) = delete;
  GrowBuffer& operator=(const GrowBuffer&) = delete;
  GrowBuffer(GrowBuffer&& other) noexcept;
  GrowBuffer& operator=(GrowBuffer&& other) noexcept;

  // Sets the size to n (a negative n counts as 0) and returns Data(). Reallocates only when n
  // exceeds the capacity, or when allowShrink is set and n falls below the shrink threshold.
  // On failure (out of memory, or a capacity beyond INT32_MAX) block, capacity and size stay
  // as they were: callers compare Size() with what they asked for.
  void* Resize(int32_t n, bool allowShrink = false) noexcept;

  // Releases the block: data null, capacity 0, size 0.
  void FreeStorage() noexcept;

  // Deep copy: resizes to other's size with shrinking allowed and copies the bytes. When that
  // size cannot be reached this buffer is emptied (block released) and false is returned.
  bool Assign(const GrowBuffer& other) noexcept;

  // Appends n bytes at the end (the bytes may lie inside this buffer). False, and the buffer
  // unchanged, when n is negative, bytes is null with n > 0, or the growth fails.
  bool Append(const void* bytes, int32_t n) noexcept;

  // Null whenever the size is 0, even while a block is allocated.
  void* Data() noexcept { return size_ > 0 ? data_ : nullptr; }
  const void* Data() const noexcept { return size_ > 0 ? data_ : nullptr; }
  template <typename T>
  T* DataAs() noexcept {
    return static_cast<T*>(Data());
  }
  template <typename T>
  const T* DataAs() const noexcept {
    return static_cast<const T*>(Data());
  }

  int32_t Size() const noexcept { return size_; }
  int32_t Capacity() const noexcept { return capacity_; }
  int32_t Granularity() const noexcept { return granularity_; }

  // Element count of a list of fixed-size records kept in the buffer (size / element size).
  template <typename T>
  int32_t Count() const noexcept {
    return static_cast<int32_t>(size_ / static_cast<int32_t>(sizeof(T)));
  }

  // The offset of p inside the allocated block (unused capacity included), or -1 when p
  // points elsewhere. Lets a caller re-point a source after growth moved the block.
  int64_t OffsetOf(const void* p) const noexcept;

 private:
  // The capacity Resize gives for a size of n; -1 when it would exceed INT32_MAX.
  int64_t CapacityFor(int32_t n) const noexcept;

  unsigned char* data_ = nullptr;
  int32_t capacity_ = 0;
  int32_t size_ = 0;
  int32_t granularity_;
};

// Test seam: the reallocation function every GrowBuffer uses, with std::realloc's contract
// (never called with 0 bytes). Tests install one that fails to prove the out-of-memory rules.
// Returns the previous function; nullptr restores std::realloc.
using GrowBufferReallocFunction = void* (*)(void* block, std::size_t bytes);
GrowBufferReallocFunction SetGrowBufferReallocForTesting(GrowBufferReallocFunction fn) noexcept;

}  // namespace plugkit
