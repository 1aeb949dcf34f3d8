#include "rack/dsp/glue_block.h"

#include <algorithm>
#include <array>
#include <cmath>

#include "rack/dsp/dsp_math.h"
#include "rack/dsp/fast_math.h"
#include "rack/dsp/stereo_fast_math.h"
#include "rack/dsp/stereo_frames.h"
#include "rack/dsp/stereo_tanh.h"

namespace tarnwell::dsp {

namespace {

constexpr double kDefaultSampleRate = 48000.0;
constexpr double kAmountSmoothingSeconds = 0.02;
constexpr double kDetectorAttackSeconds = 0.03;
constexpr double kDetectorReleaseSeconds = 0.1;
constexpr double kPowerAveragingSeconds = 0.1;
constexpr double kMatchRiseSeconds = 0.05;
constexpr double kMatchFallSeconds = 0.01;
constexpr double kDcBlockerHz = 1.0;
constexpr double kHighShelfHz = 12000.0;
constexpr double kHighShelfDbAtFullAmount = 4.0;
constexpr double kLowShelfHz = 100.0;
constexpr double kLowShelfDbAtFullAmount = -2.5;
constexpr double kShelfSlope = 1.0;
constexpr double kShelfRedesignTolerance = 1e-6;
constexpr double kBypassBelowAmount = 0.001;
// Leveller threshold runs linearly from 0.5 at amount 0 to 0.08 at amount 1; the ratio from 2 to 4.
constexpr double kLevellerThreshold = 0.5;
constexpr double kLevellerThresholdSpan = 0.42;
// Per-frame steps of the leveller gain: towards the levelled gain above the threshold, back to 1 below it.
constexpr double kLevellerKeepAbove = 0.97;
constexpr double kLevellerStepAbove = 0.03;
constexpr double kLevellerKeepBelow = 0.99;
constexpr double kLevellerStepBelow = 0.01;
constexpr double kLevelFloor = 0.0001;
constexpr double kSoftClipDrivePerAmount = 0.4;
// The soft clip runs while 0.2 x the amount is at least this.
constexpr double kSoftClipFrom = 0.001;
constexpr double kPowerFloor = 1e-10;
constexpr double kMatchGainMin = 0.25;
constexpr double kMatchGainMax = 4.0;

}  // namespace

GlueBlock::GlueBlock() { Prepare(kDefaultSampleRate); }

void GlueBlock::Prepare(double sampleRate) {
  sampleRate_ = sampleRate;
  amountCoefficient_ = OnePoleCoefficient(kAmountSmoothingSeconds, sampleRate);
  detectorAttackCoefficient_ = OnePoleCoefficient(kDetectorAttackSeconds, sampleRate);
  detectorReleaseCoefficient_ = OnePoleCoefficient(kDetectorReleaseSeconds, sampleRate);
  powerCoefficient_ = OnePoleCoefficient(kPowerAveragingSeconds, sampleRate);
  matchRiseCoefficient_ = OnePoleCoefficient(kMatchRiseSeconds, sampleRate);
  matchFallCoefficient_ = OnePoleCoefficient(kMatchFallSeconds, sampleRate);
  dcCoefficient_ = 1.0 - std::exp(-kTwoPi * kDcBlockerHz / sampleRate);
  DesignShelves();
  Reset();
}

void GlueBlock::DesignShelves() {
  const double u = amountTarget_;
  Biquad design;
  DesignHighShelf(design, sampleRate_, kHighShelfHz, kShelfSlope, kHighShelfDbAtFullAmount * u);
  highShelf_.SetCoefficients(design);
  DesignLowShelf(design, sampleRate_, kLowShelfHz, kShelfSlope, kLowShelfDbAtFullAmount * u);
  lowShelf_.SetCoefficients(design);
}

void GlueBlock::Process(double* left, double* right, std::int32_t frames) {
  if (std::fabs(amountTarget_ - shelfAmount_) > kShelfRedesignTolerance) {
    shelfAmount_ = amountTarget_;
    DesignShelves();
  }
  for (std::int32_t start = 0; start < frames; start += kStereoChunkFrames) {
    const std::int32_t count = std::min(kStereoChunkFrames, frames - start);
    // Once the smoothed amount has reached its resting value it stays there, and so does
    // everything it sets: the chunk needs none of the per-frame bookkeeping of a glide.
    const bool resting = SmoothTowards(amount_, amountTarget_, amountCoefficient_) == amount_;
    if (resting && amount_ >= kBypassBelowAmount) {
      ProcessChunk<false>(left + start, right + start, count);
    } else if (!resting) {
      ProcessChunk<true>(left + start, right + start, count);
    }
  }
}

// Stage by stage: the recurrences run in three loops (detector, leveller and shelves; power
// averages; match gain and DC blocker), the soft clip's tanh and the match's ratio and square root
// over the chunk at throughput between them, two frames at a time. While the amount glides, a frame
// below the bypass passes untouched and moves no state but the amount.
template <bool Gliding>
void GlueBlock::ProcessChunk(double* left, double* right, std::int32_t frames) {
  const auto count = static_cast<std::size_t>(frames);
  std::array<double, kStereoChunkFrames> amounts;
  std::array<bool, kStereoChunkFrames> active;
  std::array<StereoFrame, kStereoChunkFrames> shaped;
  StereoSection highShelf(highShelf_);
  StereoSection lowShelf(lowShelf_);
  double detectorLevel = detectorLevel_;
  double levellerGain = levellerGain_;
  bool anyActive = !Gliding;
  // The amount holds but while it glides, and so does the leveller ratio's reciprocal.
  double ratioAmount = amount_;
  double inverseRatio = 1.0 / (2.0 + 2.0 * amount_);
  for (std::size_t i = 0; i < count; ++i) {
    double b = amount_;
    if constexpr (Gliding) {
      amount_ = SmoothTowards(amount_, amountTarget_, amountCoefficient_);
      b = amount_;
      amounts[i] = b;
      active[i] = b >= kBypassBelowAmount;
      if (!active[i]) {
        continue;
      }
      anyActive = true;
      if (b != ratioAmount) {
        ratioAmount = b;
        inverseRatio = 1.0 / (2.0 + 2.0 * b);
      }
    }
    const double detected = (std::fabs(left[i]) + std::fabs(right[i])) / 2.0;
    detectorLevel = SmoothTowards(detectorLevel, detected,
                                  detected > detectorLevel ? detectorAttackCoefficient_ : detectorReleaseCoefficient_);

    const double threshold = kLevellerThreshold - kLevellerThresholdSpan * b;
    if (detectorLevel > threshold) {
      const double levelled = threshold + (detectorLevel - threshold) * inverseRatio;
      levellerGain =
          kLevellerKeepAbove * levellerGain + kLevellerStepAbove * levelled / std::max(detectorLevel, kLevelFloor);
    } else {
      levellerGain = kLevellerKeepBelow * levellerGain + kLevellerStepBelow;
    }
    shaped[i] = lowShelf.Run(highShelf.Run(StereoFrame{left[i], right[i]} * BothChannels(levellerGain)));
  }
  highShelf.KeepStateIn(highShelf_);
  lowShelf.KeepStateIn(lowShelf_);
  detectorLevel_ = detectorLevel;
  levellerGain_ = levellerGain;
  if (!anyActive) {
    return;
  }
  const auto frameActive = [&](std::size_t i) { return !Gliding || active[i]; };

  if constexpr (Gliding) {
    for (std::size_t i = 0; i < count; ++i) {
      if (active[i] && kSoftClipDrivePerAmount / 2.0 * amounts[i] >= kSoftClipFrom) {
        SoftClip(shaped[i], amounts[i]);
      }
    }
  } else if (kSoftClipDrivePerAmount / 2.0 * amount_ >= kSoftClipFrom) {
    for (std::size_t i = 0; i < count; ++i) {
      SoftClip(shaped[i], amount_);
    }
  }

  // Each frame's power averages; where both are above the floor, the gain that matches them.
  std::array<double, kStereoChunkFrames + 1> inputPowers;
  std::array<double, kStereoChunkFrames + 1> outputPowers;
  double inputPower = inputPower_;
  double outputPower = outputPower_;
  for (std::size_t i = 0; i < count; ++i) {
    if (frameActive(i)) {
      const double l = shaped[i][0];
      const double r = shaped[i][1];
      outputPower = SmoothTowards(outputPower, (l * l + r * r) / 2.0, powerCoefficient_);
      inputPower = SmoothTowards(inputPower, (left[i] * left[i] + right[i] * right[i]) / 2.0, powerCoefficient_);
    }
    inputPowers[i] = inputPower;
    outputPowers[i] = outputPower;
  }
  inputPower_ = inputPower;
  outputPower_ = outputPower;
  inputPowers[count] = 1.0;
  outputPowers[count] = 1.0;
  std::array<double, kStereoChunkFrames + 1> wanted;
  std::array<bool, kStereoChunkFrames + 1> matched;
  for (std::size_t i = 0; i < count; i += 2) {
    const StereoFrame in{inputPowers[i], inputPowers[i + 1]};
    const StereoFrame out{outputPowers[i], outputPowers[i + 1]};
    const StereoBits above = (in > kPowerFloor) & (out > kPowerFloor);
    const StereoFrame gain = StereoSqrt(SelectChannels(above, in / out, BothChannels(1.0)));
    const StereoFrame held = SelectChannels(gain < kMatchGainMin, BothChannels(kMatchGainMin),
                                            SelectChannels(gain > kMatchGainMax, BothChannels(kMatchGainMax), gain));
    wanted[i] = held[0];
    wanted[i + 1] = held[1];
    matched[i] = above[0] != 0 && frameActive(i);
    matched[i + 1] = above[1] != 0 && (i + 1 >= count || frameActive(i + 1));
  }

  StereoFrame dc{dcStateLeft_, dcStateRight_};
  const StereoFrame dcCoefficient = BothChannels(dcCoefficient_);
  double matchGain = matchGain_;
  for (std::size_t i = 0; i < count; ++i) {
    if (matched[i]) {
      matchGain =
          SmoothTowards(matchGain, wanted[i], matchGain < wanted[i] ? matchRiseCoefficient_ : matchFallCoefficient_);
    }
    if (!frameActive(i)) {
      continue;
    }
    const StereoFrame levelled = shaped[i] * BothChannels(matchGain);
    dc += (levelled - dc) * dcCoefficient;
    const StereoFrame out = levelled - dc;
    right[i] = out[1];
    left[i] = out[0];
  }
  matchGain_ = matchGain;
  dcStateLeft_ = dc[0];
  dcStateRight_ = dc[1];
}

void GlueBlock::SoftClip(StereoFrame& frame, double amount) {
  const double drive = 1.0 + kSoftClipDrivePerAmount * amount;
  // The ceiling moves only while the amount glides.
  if (drive != ceilingDrive_) {
    ceilingDrive_ = drive;
    inverseCeiling_ = 1.0 / FastTanh(drive);
  }
  frame = StereoTanh(BothChannels(drive) * frame) * BothChannels(inverseCeiling_);
}

void GlueBlock::Reset() {
  highShelf_.Clear();
  lowShelf_.Clear();
  inputPower_ = 0.0;
  outputPower_ = 0.0;
  dcStateLeft_ = 0.0;
  dcStateRight_ = 0.0;
  detectorLevel_ = 1.0;
  levellerGain_ = 1.0;
  matchGain_ = 1.0;
}

}  // namespace tarnwell::dsp
