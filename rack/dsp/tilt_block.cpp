#include "rack/dsp/tilt_block.h"

#include "rack/dsp/biquad_reuse.h"
#include "rack/dsp/fast_math.h"
#include "rack/dsp/unclamped_amount.h"

namespace tarnwell::dsp {

namespace {

constexpr double kShelfHz = 700.0;
constexpr double kShelfSlope = 0.7071067811865476;
constexpr double kFlatAmount = 0.5;
constexpr double kDbPerAmount = 6.0;

}  // namespace

void TiltBlock::Prepare(double sampleRate) {
  shelfAngle_ = AngleFor(sampleRate, kShelfHz);
  DesignShelves();
}

void TiltBlock::SetAmount(double amount) {
  const double tiltDb = (UsableUnclampedAmount(amount, kFlatAmount) - kFlatAmount) * kDbPerAmount;
  // Bays set the amount every block; the shelves are designed again only when it moves.
  if (tiltDb != tiltDb_) {
    tiltDb_ = tiltDb;
    DesignShelves();
  }
}

void TiltBlock::DesignShelves() {
  DesignLowShelfFromAmplitude(lowShelfLeft_, shelfAngle_, kShelfSlope, FastPow10(-tiltDb_ / 40.0));
  DesignHighShelfFromAmplitude(highShelfLeft_, shelfAngle_, kShelfSlope, FastPow10(tiltDb_ / 40.0));
  CopyCoefficients(lowShelfLeft_, lowShelfRight_);
  CopyCoefficients(highShelfLeft_, highShelfRight_);
}

void TiltBlock::Process(double* left, double* right, std::int32_t frames) {
  for (std::int32_t i = 0; i < frames; ++i) {
    const double inLeft = left[i];
    const double inRight = right[i];
    right[i] = highShelfRight_.Run(lowShelfRight_.Run(inRight));
    left[i] = highShelfLeft_.Run(lowShelfLeft_.Run(inLeft));
  }
}

void TiltBlock::Reset() {
  lowShelfLeft_.Clear();
  highShelfLeft_.Clear();
  lowShelfRight_.Clear();
  highShelfRight_.Clear();
}

}  // namespace tarnwell::dsp
