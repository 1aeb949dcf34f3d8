#include "rack/dsp/trimmer_block.h"

#include <cmath>

#include "rack/dsp/dsp_math.h"
#include "rack/dsp/fast_math.h"
#include "rack/dsp/unclamped_amount.h"

namespace tarnwell::dsp {

namespace {

constexpr double kUnityAmount = 0.5;
constexpr double kDbPerAmount = 48.0;

}  // namespace

void TrimmerBlock::SetAmount(double amount) {
  const double db = (UsableUnclampedAmount(amount, kUnityAmount) - kUnityAmount) * kDbPerAmount;
  // Bays set the amount every block; the power of ten is taken only when it moves.
  if (db != targetDb_) {
    targetDb_ = db;
    targetGain_ = DbToGain(db);
  }
}

void TrimmerBlock::Process(double* left, double* right, std::int32_t frames) {
  const double target = targetGain_;
  if (target == gain_) {
    // A held gain ramps by exactly 1.
    ratio_ = 1.0;
  } else if (frames > 0 && gain_ > 0.0 && target > 0.0) {
    ratio_ = TableExp((FastLog(target) - FastLog(gain_)) / frames);
  } else {
    gain_ = target;
    ratio_ = 1.0;
  }
  // Locals, so that the stores to the buffers cannot make the compiler reload the ramp.
  double gain = gain_;
  const double ratio = ratio_;
  for (std::int32_t i = 0; i < frames; ++i) {
    const double inLeft = left[i];
    const double inRight = right[i];
    right[i] = inRight * gain;
    left[i] = inLeft * gain;
    gain *= ratio;
  }
  // The ramp's last step lands within rounding of the target; the next block starts exactly on it.
  gain_ = target;
}

void TrimmerBlock::Reset() {
  gain_ = targetGain_;
  ratio_ = 1.0;
}

}  // namespace tarnwell::dsp
