// The tempo block: the 40-byte record through which TarnwellTempo publishes its detected
// tempo to every process of the user's session, in the shared-memory region named
// kTempoBlockName. TempoBlockWriter (tempo_block_writer.h) is its only writer; a reader maps
// it with plugkit::platform::SharedMemory::OpenReadOnly(kTempoBlockName, sizeof(TempoBlock))
// and reads it with TryReadTempoBlock.
//
// Little-endian. `sequence` is odd while an update is in progress and even when the record is
// consistent; a reader accepts a record only when it saw the same even value before and after.
#pragma once

#include <atomic>
#include <bit>
#include <cstddef>
#include <cstdint>

struct TempoBlock {
  uint32_t sequence;
  uint32_t magic;
  uint32_t version;
  float bpm;         // after the Tempo Mode factor, at most 300; 0 = no tempo
  float confidence;  // 0..1
  uint32_t reserved0;
  int64_t timestampMs;  // plugkit::platform::PerformanceClockNowMs() of the update
  uint32_t writerPid;
  uint32_t reserved1;
};

inline constexpr char kTempoBlockName[] = "Tarnwell_Tempo_v1";
inline constexpr uint32_t kTempoBlockMagic = 0x54544D50;  // 'TTMP', first character most significant
inline constexpr uint32_t kTempoBlockVersion = 1;
inline constexpr std::size_t kTempoBlockSize = 40;

static_assert(std::endian::native == std::endian::little);
static_assert(sizeof(TempoBlock) == kTempoBlockSize);
static_assert(offsetof(TempoBlock, sequence) == 0 && offsetof(TempoBlock, magic) == 4 &&
              offsetof(TempoBlock, version) == 8 && offsetof(TempoBlock, bpm) == 12 &&
              offsetof(TempoBlock, confidence) == 16 && offsetof(TempoBlock, reserved0) == 20 &&
              offsetof(TempoBlock, timestampMs) == 24 && offsetof(TempoBlock, writerPid) == 32 &&
              offsetof(TempoBlock, reserved1) == 36);
static_assert(std::atomic_ref<int64_t>::is_always_lock_free && std::atomic_ref<uint32_t>::is_always_lock_free &&
              std::atomic_ref<float>::is_always_lock_free);

// Every field of the mapped record is touched only through these: another process writes it
// at the same time. Loads are plain aligned loads (never a read-modify-write), so they work on
// a read-only view; atomic_ref of a const object arrives only after C++20.
template <typename T>
T LoadTempoField(const T& field, std::memory_order order = std::memory_order_relaxed) noexcept {
  return std::atomic_ref<T>(const_cast<T&>(field)).load(order);
}
template <typename T>
void StoreTempoField(T& field, T value, std::memory_order order = std::memory_order_relaxed) noexcept {
  std::atomic_ref<T>(field).store(value, order);
}

// One consistent reading of the record.
struct TempoBlockReading {
  uint32_t sequence;
  uint32_t magic;
  uint32_t version;
  float bpm;
  float confidence;
  int64_t timestampMs;
  uint32_t writerPid;
};

// One try of the sequence-counter read. False, with *out unspecified, when the writer was busy
// (odd sequence) or changed the record during the read; the caller decides how often to retry.
// No allocation, lock or system call: audio-thread safe.
inline bool TryReadTempoBlock(const TempoBlock& block, TempoBlockReading* out) noexcept {
  const uint32_t before = LoadTempoField(block.sequence, std::memory_order_acquire);
  if ((before & 1u) != 0) return false;
  out->sequence = before;
  out->magic = LoadTempoField(block.magic);
  out->version = LoadTempoField(block.version);
  out->bpm = LoadTempoField(block.bpm);
  out->confidence = LoadTempoField(block.confidence);
  out->timestampMs = LoadTempoField(block.timestampMs);
  out->writerPid = LoadTempoField(block.writerPid);
  // Keeps the field loads above before the second sequence load.
  std::atomic_thread_fence(std::memory_order_acquire);
  return LoadTempoField(block.sequence) == before;
}
