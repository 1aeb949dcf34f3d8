#include "rack/dsp/tape_block.h"

#include <algorithm>
#include <array>
#include <cmath>
#include <limits>

#include "rack/dsp/biquad_reuse.h"
#include "rack/dsp/clamp_unit.h"
#include "rack/dsp/dsp_math.h"
#include "rack/dsp/fast_math.h"
#include "rack/dsp/stereo_fast_math.h"
#include "rack/dsp/stereo_frames.h"

namespace tarnwell::dsp {

namespace {

constexpr double kSmoothSeconds = 0.02;
constexpr double kAttackSeconds = 0.008;
constexpr double kReleaseSeconds = 0.15;
constexpr double kDcBlockerHz = 5.0;
// Below this smoothed amount frames pass untouched.
constexpr double kActiveAmount = 0.01;
// Coefficients follow the smoothed amount every 32 processed frames.
constexpr std::uint32_t kRefreshMask = 31;

constexpr double kLowShelfHz = 80.0;
constexpr double kLowShelfDbPerAmount = 4.0;
constexpr double kLowShelfSlope = 0.7071;
constexpr double kLowPassTopHz = 20000.0;
constexpr double kLowPassFallHzPerAmount = 10000.0;
constexpr double kLowPassFloorHz = 8000.0;
constexpr double kLowPassQ = 0.707;
constexpr double kPresenceHz = 2500.0;
constexpr double kPresenceDbPerAmount = 2.0;
constexpr double kPresenceQ = 1.5;
constexpr double kThresholdDb = -6.0;
constexpr double kThresholdDbPerAmount = -18.0;
constexpr double kKneeHalfWidthDb = 6.0;
constexpr double kMakeupShare = 0.95;
constexpr double kLevelFloor = 1e-9;
constexpr double kBelowKneeMargin = 1.0 - 1e-9;

// Soft-knee gain change in dB for a level `overDb` above the threshold.
double CompressorGainDb(double overDb, double slope) {
  if (overDb <= -kKneeHalfWidthDb) {
    return 0.0;
  }
  if (overDb < kKneeHalfWidthDb) {
    const double intoKnee = overDb + kKneeHalfWidthDb;
    return intoKnee * intoKnee * slope / (4.0 * kKneeHalfWidthDb);
  }
  return slope * overDb;
}

// CompressorGainDb of two levels at once; the selections are what its comparisons choose, NaN
// included, so each lane gets its bits.
StereoFrame StereoCompressorGainDb(StereoFrame overDb, StereoFrame slope) {
  const StereoFrame intoKnee = overDb + BothChannels(kKneeHalfWidthDb);
  const StereoFrame kneed = intoKnee * intoKnee * slope / BothChannels(4.0 * kKneeHalfWidthDb);
  const StereoFrame aboveKnee = SelectChannels(overDb < BothChannels(kKneeHalfWidthDb), kneed, slope * overDb);
  return SelectChannels(overDb <= BothChannels(-kKneeHalfWidthDb), BothChannels(0.0), aboveKnee);
}

}  // namespace

void TapeBlock::Prepare(double sampleRate) {
  sampleRate_ = sampleRate;
  smoothCoef_ = OnePoleCoefficient(kSmoothSeconds, sampleRate);
  attackCoef_ = std::exp(-1.0 / (kAttackSeconds * sampleRate));
  releaseCoef_ = std::exp(-1.0 / (kReleaseSeconds * sampleRate));
  dcCoef_ = 1.0 - std::exp(-kTwoPi * kDcBlockerHz / sampleRate);
  lowShelfAngle_ = AngleFor(sampleRate, kLowShelfHz);
  presenceAngle_ = AngleFor(sampleRate, kPresenceHz);
  designedAmount_ = std::numeric_limits<double>::quiet_NaN();
  dcState_ = {};
  envelope_ = 0.0;
  sampleCounter_ = 0;
  Design(ClampToUnit(amount_));
}

void TapeBlock::SetAmount(double amount) {
  amount_ = amount;
  Design(ClampToUnit(amount));
}

void TapeBlock::Design(double x) {
  // Asked for with every block and every 32 frames; a settled amount keeps its design.
  if (x == designedAmount_) {
    return;
  }
  designedAmount_ = x;
  Biquad design;
  DesignLowShelfFromAmplitude(design, lowShelfAngle_, kLowShelfSlope, FastPow10(kLowShelfDbPerAmount * x / 40.0));
  lowShelf_.SetCoefficients(design);
  const double lowPassHz = std::max(kLowPassFloorHz, kLowPassTopHz - kLowPassFallHzPerAmount * x);
  DesignLowPassFromAngle(design, FastAngleFor(sampleRate_, lowPassHz), kLowPassQ);
  lowPass_.SetCoefficients(design);
  DesignPeakFromAmplitude(design, presenceAngle_.cosine, presenceAngle_.sine / (2.0 * kPresenceQ),
                          FastPow10(kPresenceDbPerAmount * x / 40.0));
  presence_.SetCoefficients(design);

  thresholdDb_ = kThresholdDb + kThresholdDbPerAmount * x;
  slope_ = 1.0 / (0.5 * x + 1.5) - 1.0;
  // Makes up 95 % of the gain change of a -12 dB level, whatever the threshold.
  const double w = 18.0 * x - 6.0;
  makeupGain_ = FastDbToGain(-kMakeupShare * CompressorGainDb(w, slope_));
  // A level below the knee takes no gain change, and the computed gain is then the makeup gain
  // exactly. The margin keeps levels near the knee, where the logarithm's rounding decides, on the
  // computed path.
  belowKneeLevel_ = FastPow10((thresholdDb_ - kKneeHalfWidthDb) / 20.0) * kBelowKneeMargin;
  saturationMix_ = 0.7 * x;
  drive_ = 2.5 * x + 1.0;
}

void TapeBlock::SkipFrames(std::int64_t frames) {
  if (smoothAmount_ >= kActiveAmount) {
    sampleCounter_ += static_cast<std::uint32_t>(frames & kRefreshMask);
  }
}

void TapeBlock::Process(double* left, double* right, std::int32_t frames) {
  const double a = ClampToUnit(amount_);
  std::int32_t i = 0;
  while (i < frames) {
    smoothAmount_ = SmoothTowards(smoothAmount_, a, smoothCoef_);
    if (smoothAmount_ < kActiveAmount) {
      ++i;
      continue;
    }
    if ((sampleCounter_ & kRefreshMask) == 0) {
      Design(smoothAmount_);
    }
    ++sampleCounter_;
    // The frames up to the next redesign share these coefficients; an inactive frame ends them
    // early and is left to the loop above.
    std::int32_t run = 1;
    while (i + run < frames && (sampleCounter_ & kRefreshMask) != 0) {
      const double next = SmoothTowards(smoothAmount_, a, smoothCoef_);
      if (next < kActiveAmount) {
        break;
      }
      smoothAmount_ = next;
      ++sampleCounter_;
      ++run;
    }
    ProcessRun(left + i, right + i, run);
    i += run;
  }
}

void TapeBlock::ProcessRun(double* left, double* right, std::int32_t frames) {
  std::array<StereoFrame, kRefreshMask + 1> x;
  LoadFrames(left, right, x.data(), frames);
  RunCascade(std::array<StereoBiquad*, 1>{&lowShelf_}, x.data(), frames);

  // One spare entry for the pairs below.
  std::array<double, kRefreshMask + 2> gains;
  for (std::int32_t i = 0; i < frames; ++i) {
    const StereoFrame& shelved = x[static_cast<std::size_t>(i)];
    const double level = std::fabs((shelved[0] + shelved[1]) / 2.0);
    const double k = envelope_ < level ? attackCoef_ : releaseCoef_;
    envelope_ = (1.0 - k) * level + k * envelope_;
    gains[static_cast<std::size_t>(i)] = envelope_;
  }
  // Each frame's gain from its own envelope, two frames at a time; an odd count's spare reads silence.
  gains[static_cast<std::size_t>(frames)] = 0.0;
  const StereoFrame threshold = BothChannels(thresholdDb_);
  const StereoFrame slope = BothChannels(slope_);
  const StereoFrame makeup = BothChannels(makeupGain_);
  const StereoFrame belowKnee = BothChannels(belowKneeLevel_);
  for (std::int32_t i = 0; i < frames; i += 2) {
    double* const pair = &gains[static_cast<std::size_t>(i)];
    const StereoBits below = LoadPair(pair) + BothChannels(kLevelFloor) < belowKnee;
    if (below[0] != 0 && below[1] != 0) {
      StorePair(makeup, pair);
      continue;
    }
    const StereoFrame overDb = BothChannels(20.0) * StereoLog10(LoadPair(pair) + BothChannels(kLevelFloor)) - threshold;
    StorePair(StereoPow10(StereoCompressorGainDb(overDb, slope) / BothChannels(20.0)) * makeup, pair);
  }

  const StereoFrame drive = BothChannels(drive_);
  const StereoFrame mix = BothChannels(saturationMix_);
  const StereoFrame dry = BothChannels(1.0 - saturationMix_);
  for (std::int32_t i = 0; i < frames; ++i) {
    StereoFrame& frame = x[static_cast<std::size_t>(i)];
    const StereoFrame driven = drive * frame * BothChannels(gains[static_cast<std::size_t>(i)]);
    // Positive half-waves saturate a little harder than negative ones.
    const StereoFrame d = SelectChannels(driven >= BothChannels(0.0), BothChannels(1.2), BothChannels(1.1));
    frame = (StereoFastTanh(d * driven) / d * mix + dry * driven) / drive;
  }
  RunCascade(std::array<StereoBiquad*, 2>{&lowPass_, &presence_}, x.data(), frames);

  const StereoFrame dcShare = BothChannels(dcCoef_);
  const StereoFrame dcKeep = BothChannels(1.0 - dcCoef_);
  StereoFrame dc{dcState_[0], dcState_[1]};
  for (std::int32_t i = 0; i < frames; ++i) {
    StereoFrame& frame = x[static_cast<std::size_t>(i)];
    dc = dcShare * frame + dcKeep * dc;
    frame -= dc;
  }
  dcState_ = {dc[0], dc[1]};
  StoreFrames(x.data(), left, right, frames);
}

void TapeBlock::Reset() {
  lowShelf_.Clear();
  lowPass_.Clear();
  presence_.Clear();
  dcState_ = {};
}

}  // namespace tarnwell::dsp
