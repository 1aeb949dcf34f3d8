#include "rack/dsp/deesser_block.h"

#include <algorithm>
#include <array>
#include <cmath>

#include "rack/dsp/dsp_math.h"
#include "rack/dsp/fast_math.h"
#include "rack/dsp/envelope_follower.h"
#include "rack/dsp/stereo_frames.h"

namespace tarnwell::dsp {

namespace {

constexpr double kAmountSeconds = 0.02;
constexpr double kRisingSeconds = 0.001;
constexpr double kFallingSeconds = 0.05;
// Two sections of a fourth-order Butterworth high-pass.
constexpr double kDetectorHz = 4800.0;
constexpr double kDetectorLowQ = 0.5411961;
constexpr double kDetectorHighQ = 1.306563;
constexpr double kLowBandHz = 5400.0;
constexpr double kHighBandHz = 8000.0;
constexpr double kBandQ = 0.9;
constexpr double kBypassBelowAmount = 0.001;
// The threshold falls from -30 dB at amount 0 to -48 dB at amount 1.
constexpr double kThresholdAtZero = 0.0316227766;
constexpr double kThresholdFallDecades = 0.9;
constexpr double kSmallestGain = 0.05;

double Threshold(double amount) { return kThresholdAtZero * FastPow10(-kThresholdFallDecades * amount * amount); }

// Gain of the band-passed part: 1 up to the threshold, then a ratio that steepens with the amount.
double CutGain(double envelope, double threshold, double amount) {
  if (!(envelope > threshold)) {
    return 1.0;
  }
  const double shaped = amount * amount;
  const double overDb = 20.0 * FastLog10(envelope / threshold);
  return std::max(kSmallestGain, FastPow10(-overDb * (1.0 - 1.0 / (12.0 * shaped + 4.0)) * amount / 20.0));
}

}  // namespace

void DeEsserBlock::Prepare(double sampleRate) {
  amountCoefficient_ = OnePoleCoefficient(kAmountSeconds, sampleRate);
  risingCoefficient_ = OnePoleCoefficient(kRisingSeconds, sampleRate);
  fallingCoefficient_ = OnePoleCoefficient(kFallingSeconds, sampleRate);
  DesignHighPass(detectorLow_, sampleRate, kDetectorHz, kDetectorLowQ);
  DesignHighPass(detectorHigh_, sampleRate, kDetectorHz, kDetectorHighQ);
  DesignBandPass(lowBandLeft_, sampleRate, kLowBandHz, kBandQ);
  DesignBandPass(highBandLeft_, sampleRate, kHighBandHz, kBandQ);
  lowBandRight_ = lowBandLeft_;
  highBandRight_ = highBandLeft_;
  Reset();
}

void DeEsserBlock::Process(double* left, double* right, std::int32_t frames) {
  std::array<double, kStereoChunkFrames> amounts;
  std::int32_t i = 0;
  while (i < frames) {
    amount_ = SmoothTowards(amount_, amountTarget_, amountCoefficient_);
    if (amount_ < kBypassBelowAmount) {
      ++i;
      continue;
    }
    // A frame whose amount falls below the bypass ends the run and is left to the loop above.
    amounts[0] = amount_;
    std::int32_t run = 1;
    while (i + run < frames && run < kStereoChunkFrames) {
      const double next = SmoothTowards(amount_, amountTarget_, amountCoefficient_);
      if (next < kBypassBelowAmount) {
        break;
      }
      amount_ = next;
      amounts[static_cast<std::size_t>(run++)] = next;
    }
    ProcessRun(left + i, right + i, run, amounts);
    i += run;
  }
}

void DeEsserBlock::ProcessRun(double* left, double* right, std::int32_t frames,
                              const std::array<double, kStereoChunkFrames>& amounts) {
  std::array<double, kStereoChunkFrames> cuts;
  Biquad detectorLow = detectorLow_;
  Biquad detectorHigh = detectorHigh_;
  for (std::int32_t i = 0; i < frames; ++i) {
    const double detected = detectorHigh.Run(detectorLow.Run((left[i] + right[i]) / 2.0));
    envelope_ = FollowEnvelope(envelope_, std::fabs(detected), risingCoefficient_, fallingCoefficient_);
    cuts[static_cast<std::size_t>(i)] = envelope_;
  }
  detectorLow_ = detectorLow;
  detectorHigh_ = detectorHigh;

  // The threshold's power of ten only changes while the amount glides.
  double thresholdAmount = amounts[0];
  double threshold = Threshold(thresholdAmount);
  for (std::int32_t i = 0; i < frames; ++i) {
    const double amount = amounts[static_cast<std::size_t>(i)];
    if (amount != thresholdAmount) {
      thresholdAmount = amount;
      threshold = Threshold(amount);
    }
    double& cut = cuts[static_cast<std::size_t>(i)];
    bandGain_ = CutGain(cut, threshold, amount);
    cut = 1.0 - bandGain_;
  }

  BiquadPair lowBand(lowBandLeft_, lowBandRight_);
  BiquadPair highBand(highBandLeft_, highBandRight_);
  std::array<StereoFrame, kStereoChunkFrames> x;
  LoadFrames(left, right, x.data(), frames);
  for (std::int32_t i = 0; i < frames; ++i) {
    StereoFrame& frame = x[static_cast<std::size_t>(i)];
    const StereoFrame cut = BothChannels(cuts[static_cast<std::size_t>(i)]);
    const StereoFrame mid = frame - lowBand.Run(frame) * cut;
    frame = mid - highBand.Run(mid) * cut;
  }
  lowBand.SaveStates(lowBandLeft_, lowBandRight_);
  highBand.SaveStates(highBandLeft_, highBandRight_);
  StoreFrames(x.data(), left, right, frames);
}

void DeEsserBlock::Reset() {
  detectorLow_.Clear();
  detectorHigh_.Clear();
  lowBandLeft_.Clear();
  highBandLeft_.Clear();
  lowBandRight_.Clear();
  highBandRight_.Clear();
  envelope_ = 0.0;
  bandGain_ = 1.0;
}

}  // namespace tarnwell::dsp
