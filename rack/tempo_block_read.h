// Reading the shared tempo block that the tempo plug-in publishes from other processes. The
// writer bumps the sequence to an odd value, stores the fields, then bumps it to the next
// even value; a reading counts only when the sequence was even and unchanged around it.
// Templated over the block's memory so that tests can script what each load returns.
#pragma once

#include <atomic>
#include <cmath>
#include <cstdint>
#include <optional>

#include "tempo/tempo_block.h"

namespace tarnwell {

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

// The block as mapped read-only from shared memory, read through the layout's own loads.
class MappedTempoBlock {
 public:
  explicit MappedTempoBlock(const TempoBlock& block) noexcept : block_(block) {}

  uint32_t Magic() const noexcept { return LoadTempoField(block_.magic); }
  uint32_t AcquireSequence() const noexcept { return LoadTempoField(block_.sequence, std::memory_order_acquire); }
  float Bpm() const noexcept { return LoadTempoField(block_.bpm); }
  float Confidence() const noexcept { return LoadTempoField(block_.confidence); }
  int64_t TimestampMs() const noexcept { return LoadTempoField(block_.timestampMs); }
  void AcquireFence() const noexcept { std::atomic_thread_fence(std::memory_order_acquire); }
  uint32_t Sequence() const noexcept { return LoadTempoField(block_.sequence); }

 private:
  const TempoBlock& block_;
};

}  // namespace tarnwell
