// Reading the shared tempo block that the tempo plug-in publishes from other processes. The
// writer bumps the sequence to an odd value, stores the fields, then bumps it to the next
// even value; a reading counts only when the sequence was even and unchanged around it.
// Templated over the block's memory so that tests can script what each load returns.
#pragma once

#include <bit>
#include <cmath>
#include <cstdint>
#include <optional>

namespace tarnwell {

inline constexpr uint32_t kTempoBlockMagic = 0x54544D50;  // "TTMP", first letter most significant
inline constexpr int kTempoReadTries = 4;
inline constexpr uint64_t kTempoMaxAgeMs = 1999;
inline constexpr float kTempoMinConfidence = 0.3f;

// Block provides, in the seqlock's order: uint32_t Magic(), uint32_t AcquireSequence(),
// float Bpm(), float Confidence(), int64_t TimestampMs(), void AcquireFence(),
// uint32_t Sequence(). Returns the tempo to follow, or nothing.
template <typename Block>
std::optional<float> ReadFollowedTempo(const Block& block, int64_t nowMs) noexcept {
  if (block.Magic() != kTempoBlockMagic) return std::nullopt;
  for (int attempt = 0; attempt < kTempoReadTries; ++attempt) {
    const uint32_t before = block.AcquireSequence();
    if ((before & 1u) != 0) continue;  // the writer is busy
    const float bpm = block.Bpm();
    const float confidence = block.Confidence();
    const int64_t stamp = block.TimestampMs();
    block.AcquireFence();
    if (block.Sequence() != before) continue;  // torn: the writer came in between
    // A stamp from the future wraps to a huge age and is refused with the stale ones.
    const uint64_t age = static_cast<uint64_t>(nowMs) - static_cast<uint64_t>(stamp);
    if (std::isfinite(bpm) && bpm > 0.0f && confidence > 0.0f && age <= kTempoMaxAgeMs &&
        confidence >= kTempoMinConfidence)
      return bpm;
    return std::nullopt;
  }
  return std::nullopt;
}

// The 40-byte block as mapped read-only from shared memory. Only plain loads: a read-only
// view cannot take the stores an exchange-based atomic load would make.
class MappedTempoBlock {
 public:
  static constexpr int32_t kSize = 40;

  explicit MappedTempoBlock(const unsigned char* view) noexcept : view_(view) {}

  uint32_t Magic() const noexcept { return Load32(4, __ATOMIC_RELAXED); }
  uint32_t AcquireSequence() const noexcept { return Load32(0, __ATOMIC_ACQUIRE); }
  float Bpm() const noexcept { return BitsToFloat(Load32(12, __ATOMIC_RELAXED)); }
  float Confidence() const noexcept { return BitsToFloat(Load32(16, __ATOMIC_RELAXED)); }
  int64_t TimestampMs() const noexcept {
    return __atomic_load_n(reinterpret_cast<const int64_t*>(view_ + 24), __ATOMIC_RELAXED);
  }
  void AcquireFence() const noexcept { __atomic_thread_fence(__ATOMIC_ACQUIRE); }
  uint32_t Sequence() const noexcept { return Load32(0, __ATOMIC_RELAXED); }

 private:
  uint32_t Load32(int offset, int order) const noexcept {
    return __atomic_load_n(reinterpret_cast<const uint32_t*>(view_ + offset), order);
  }
  static float BitsToFloat(uint32_t bits) noexcept { return std::bit_cast<float>(bits); }

  const unsigned char* view_;
};

}  // namespace tarnwell
