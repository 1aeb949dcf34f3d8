// RingQueue: fixed-capacity single-producer, single-consumer ring between the audio thread
// and the UI thread. Storage is allocated once by the constructor; Push and Pop are index
// arithmetic and copies, so both sides may run on the audio thread (no allocation, no lock).
// The producer publishes the write index with release after storing the element, the
// consumer reads it with acquire before copying the element out (and the same the other
// way for the read index), so an element is never seen half-written.
#pragma once

#include <atomic>
#include <cstdint>
#include <new>
#include <type_traits>

#include "framework/core/grow_buffer.h"

namespace plugkit {

template <typename T>
class RingQueue {
  static_assert(std::is_trivially_copyable_v<T>, "elements are copied as bytes");

 public:
  // Room for capacity elements (one slot more is kept to tell full from empty). When the
  // storage cannot be had the ring stays empty and every push is dropped.
  explicit RingQueue(int32_t capacity) noexcept {
    if (capacity <= 0) return;
    const int64_t slots = static_cast<int64_t>(capacity) + 1;
    const int64_t bytes = slots * static_cast<int64_t>(sizeof(T));
    if (bytes > INT32_MAX) return;
    if (storage_.Resize(static_cast<int32_t>(bytes)) == nullptr || storage_.Size() != bytes) return;
    for (int64_t i = 0; i < slots; ++i) new (storage_.DataAs<T>() + i) T{};
    slots_ = slots;
  }

  RingQueue(const RingQueue&) = delete;
  RingQueue& operator=(const RingQueue&) = delete;

  // Producer side. False when the ring is full: the element is dropped.
  bool Push(const T& element) noexcept {
    if (slots_ == 0) return false;
    const int64_t write = write_.load(std::memory_order_relaxed);
    const int64_t next = Advance(write);
    if (next == read_.load(std::memory_order_acquire)) return false;
    storage_.DataAs<T>()[write] = element;
    write_.store(next, std::memory_order_release);
    return true;
  }

  // Consumer side. False, out untouched, when the ring is empty.
  bool Pop(T& out) noexcept {
    const int64_t read = read_.load(std::memory_order_relaxed);
    if (read == write_.load(std::memory_order_acquire)) return false;
    out = storage_.DataAs<T>()[read];
    read_.store(Advance(read), std::memory_order_release);
    return true;
  }

  // Exact on the consumer's thread; elsewhere a snapshot that may already be out of date.
  int32_t ElementsAvailable() const noexcept {
    const int64_t write = write_.load(std::memory_order_acquire);
    const int64_t read = read_.load(std::memory_order_acquire);
    return static_cast<int32_t>(write >= read ? write - read : write + slots_ - read);
  }

  int32_t Capacity() const noexcept { return slots_ > 0 ? static_cast<int32_t>(slots_ - 1) : 0; }

 private:
  int64_t Advance(int64_t index) const noexcept { return index + 1 == slots_ ? 0 : index + 1; }

  // Each index on its own cache line, so producer and consumer do not slow each other down.
  static constexpr std::size_t kCacheLine = 64;

  GrowBuffer storage_{GrowBuffer::kListGranularity};
  int64_t slots_ = 0;
  std::atomic<int64_t> write_{0};
  char padWrite_[kCacheLine - sizeof(std::atomic<int64_t>)] = {};
  std::atomic<int64_t> read_{0};
  char padRead_[kCacheLine - sizeof(std::atomic<int64_t>)] = {};
};

}  // namespace plugkit
