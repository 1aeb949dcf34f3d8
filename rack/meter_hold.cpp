#include "rack/meter_hold.h"

#include <algorithm>
#include <cmath>

namespace tarnwell {

bool MeterHold::ReadingDue() noexcept {
  if (--countdown_ > 0) return false;
  countdown_ = kBlocksPerReading;
  return true;
}

double MeterHold::Hold(double peak, double t) noexcept {
  // A host that loops jumps back in time; the hold starts again from there instead of
  // freezing until the old moment comes round.
  if (t < holdStart_) holdStart_ = t;
  if (peak >= held_) {
    held_ = peak;
    holdStart_ = t;
  } else if (const double since = t - holdStart_; since > kHoldSeconds) {
    held_ = std::max(held_ * std::pow(10.0, -kFallDbPerSecond * since / 20.0), peak);
  }
  return held_;
}

void MeterMailbox::Publish(const dsp::MeterFrame& frame) noexcept {
  values_[0].store(frame.outputPeak, std::memory_order_relaxed);
  values_[1].store(frame.gainReductionDb, std::memory_order_relaxed);
  values_[2].store(frame.inputPeak, std::memory_order_relaxed);
  values_[3].store(frame.outputPeakHold, std::memory_order_relaxed);
  ready_.store(true, std::memory_order_release);
}

bool MeterMailbox::Take(dsp::MeterFrame& frame) noexcept {
  if (!ready_.exchange(false, std::memory_order_acquire)) return false;
  frame.outputPeak = values_[0].load(std::memory_order_relaxed);
  frame.gainReductionDb = values_[1].load(std::memory_order_relaxed);
  frame.inputPeak = values_[2].load(std::memory_order_relaxed);
  frame.outputPeakHold = values_[3].load(std::memory_order_relaxed);
  return true;
}

}  // namespace tarnwell
