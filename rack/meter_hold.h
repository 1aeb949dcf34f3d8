// The level meters of the page: every 16 blocks the audio thread takes the engine's readings,
// folds the output peak into a held peak and publishes the frame; the idle hook takes it.
#pragma once

#include <atomic>
#include <cstdint>

#include "rack/dsp/meter_frame.h"

namespace tarnwell {

// Audio thread only.
class MeterHold {
 public:
  static constexpr int32_t kBlocksPerReading = 16;
  static constexpr double kHoldSeconds = 1.6;
  static constexpr double kFallDbPerSecond = 18.0;

  // True when this block ends the count of blocks and a reading is due; the first block is.
  bool ReadingDue() noexcept;
  // Folds a block's output peak, at host time t seconds, into the held peak and returns it.
  double Hold(double peak, double t) noexcept;
  double Held() const noexcept { return held_; }

 private:
  int32_t countdown_ = 1;
  double held_ = 0.0;
  double holdStart_ = 0.0;
};

// One frame from the audio thread to the idle hook. The four values are separate atomic
// words, so a frame taken while the next is written may mix two readings; the flag orders
// a whole frame before it.
class MeterMailbox {
 public:
  void Publish(const dsp::MeterFrame& frame) noexcept;
  // True, with the frame, when one was published since the last take.
  bool Take(dsp::MeterFrame& frame) noexcept;
  // Drops a waiting frame (the editor is closed).
  void Discard() noexcept { ready_.store(false, std::memory_order_relaxed); }

 private:
  std::atomic<float> values_[4] = {0.0f, 0.0f, 0.0f, 0.0f};
  std::atomic<bool> ready_{false};
};

}  // namespace tarnwell
