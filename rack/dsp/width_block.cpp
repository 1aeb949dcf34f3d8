#include "rack/dsp/width_block.h"

#include <algorithm>
#include <cmath>

#include "rack/dsp/dsp_math.h"

namespace tarnwell::dsp {

namespace {

constexpr double kAmountSeconds = 0.02;
constexpr double kPowerSeconds = 0.05;
constexpr double kDcBlockerHz = 1.0;
constexpr double kLowBandHz = 120.0;
constexpr double kLowBandQ = 0.707;
constexpr double kSideHighPassHz = 214.0;
constexpr double kSideHighPassQ = 0.56;
constexpr double kBypassBelowAmount = 0.0001;
constexpr double kTinyLevel = 1e-12;
constexpr double kTinyPower = 1e-9;

// The side gain grows with the mid-to-side ratio (up to 1.9 at full amount) so an already wide
// signal is widened less.
double SideGain(double amount, double midPower, double sidePower) {
  const double shaped = amount * amount;
  const double ratio = std::sqrt(midPower) / (std::sqrt(sidePower) + kTinyLevel);
  return std::min(1.0 + shaped * (0.55 * std::min(ratio, 1.0) + 0.35), 1.0 + 0.9 * shaped);
}

// Widest high-band gain for an amount: 1.4 at full amount.
double HighBandLimit(double amount) { return 1.0 + 0.4 * (0.2 * amount * amount + 0.8 * amount); }

double BlockDc(double x, double& state, double coefficient) {
  state += (x - state) * coefficient;
  return x - state;
}

}  // namespace

void WidthBlock::Prepare(double sampleRate) {
  amountCoefficient_ = OnePoleCoefficient(kAmountSeconds, sampleRate);
  powerCoefficient_ = OnePoleCoefficient(kPowerSeconds, sampleRate);
  dcCoefficient_ = 1.0 - std::exp(-kTwoPi * kDcBlockerHz / sampleRate);
  DesignLowPass(lowPassLeft_, sampleRate, kLowBandHz, kLowBandQ);
  DesignLowPass(lowPassRight_, sampleRate, kLowBandHz, kLowBandQ);
  DesignHighPass(sideHighPass_, sampleRate, kSideHighPassHz, kSideHighPassQ);
  Reset();
}

void WidthBlock::Process(double* left, double* right, std::int32_t frames) {
  if (sideBandMode_) {
    ProcessSideBand(left, right, frames);
  } else {
    ProcessHighBand(left, right, frames);
  }
}

void WidthBlock::ProcessSideBand(double* left, double* right, std::int32_t frames) {
  for (std::int32_t i = 0; i < frames; ++i) {
    amount_ = SmoothTowards(amount_, amountTarget_, amountCoefficient_);
    const double inLeft = left[i];
    const double inRight = right[i];
    const double side = (inLeft - inRight) / 2.0;
    const double sideHigh = sideHighPass_.Run(side);
    const double mid = (inLeft + inRight) / 2.0;
    midPower_ = SmoothTowards(midPower_, mid * mid, powerCoefficient_);
    sidePower_ = SmoothTowards(sidePower_, side * side, powerCoefficient_);
    // The filter and the powers keep moving, so a later amount starts from settled values.
    if (amount_ < kBypassBelowAmount) {
      continue;
    }
    const double widened = SideGain(amount_, midPower_, sidePower_) * sideHigh;
    right[i] = BlockDc(mid - widened, dcStateRight_, dcCoefficient_);
    left[i] = BlockDc(mid + widened, dcStateLeft_, dcCoefficient_);
  }
}

void WidthBlock::ProcessHighBand(double* left, double* right, std::int32_t frames) {
  for (std::int32_t i = 0; i < frames; ++i) {
    amount_ = SmoothTowards(amount_, amountTarget_, amountCoefficient_);
    const double inLeft = left[i];
    const double inRight = right[i];
    const double lowLeft = lowPassLeft_.Run(inLeft);
    const double lowRight = lowPassRight_.Run(inRight);
    const double highLeft = inLeft - lowLeft;
    const double highRight = inRight - lowRight;
    const double highMid = (highLeft + highRight) / 2.0;
    const double highSide = (highLeft - highRight) / 2.0;
    midPower_ = SmoothTowards(midPower_, highMid * highMid, powerCoefficient_);
    sidePower_ = SmoothTowards(sidePower_, highSide * highSide, powerCoefficient_);
    const double ratio = 2.0 * std::sqrt(midPower_ + kTinyPower) / std::sqrt(sidePower_ + kTinyPower);
    widthGain_ = SmoothTowards(widthGain_, std::min(HighBandLimit(amount_), std::max(1.0, ratio)), powerCoefficient_);
    const double lowMono = (lowLeft + lowRight) / 2.0;
    right[i] = BlockDc(lowMono + highMid - highSide * widthGain_, dcStateRight_, dcCoefficient_);
    left[i] = BlockDc(lowMono + highMid + highSide * widthGain_, dcStateLeft_, dcCoefficient_);
  }
}

void WidthBlock::Reset() {
  lowPassLeft_.Clear();
  lowPassRight_.Clear();
  sideHighPass_.Clear();
  midPower_ = 0.0;
  sidePower_ = 0.0;
  widthGain_ = 1.0;
  dcStateLeft_ = 0.0;
  dcStateRight_ = 0.0;
}

}  // namespace tarnwell::dsp
