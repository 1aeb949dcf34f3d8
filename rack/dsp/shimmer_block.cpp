#include "rack/dsp/shimmer_block.h"

#include <algorithm>
#include <cmath>

#include "rack/dsp/block_tunings.h"
#include "rack/dsp/clamp_unit.h"
#include "rack/dsp/dsp_math.h"
#include "rack/dsp/fast_math.h"

namespace tarnwell::dsp {

namespace {

constexpr double kSmoothSeconds = 0.02;
constexpr std::array<double, 8> kLineMs = {23.0, 29.0, 34.0, 41.0, 48.0, 56.0, 64.0, 73.0};
constexpr std::array<double, 4> kDiffuserMs = {4.7, 7.3, 10.9, 14.3};
constexpr double kPitchBufferMs = 200.0;
constexpr std::int32_t kShortestLine = 4;
constexpr std::int32_t kShortestPitchBuffer = 8;
constexpr std::array<double, 4> kDiffuserGains = {0.7, 0.7, 0.7, 0.7};
constexpr double kRecomputeTolerance = 1e-5;

// Decay to -60 dB in 12 a + 1 seconds; the wet level falls 2.75 dB from amount 0 to 1.
constexpr double kDecaySecondsPerAmount = 12.0;
constexpr double kWetDbAtZero = -5.8;
constexpr double kWetDbPerAmount = -2.75;
constexpr double kGrainSecondsAtFullAmount = 0.09;
constexpr double kGrainSpreadBase = 0.7;
constexpr double kGrainSpread = 0.6;
constexpr double kOutputGain = 0.213;
constexpr double kOutputCurve = 0.7 * 3.141592653589793 / 2.0;

// 1 / sqrt(8): keeps the Hadamard mix energy-preserving.
constexpr double kMixScale = 0.35355339059327373;
constexpr double kNetworkShare = 0.9;
constexpr double kPitchShare = 0.1;

constexpr std::uint32_t kRandomMultiplier = 1664525u;
constexpr std::uint32_t kRandomIncrement = 1013904223u;
constexpr double kRandomScale = 1.0 / 16777216.0;

std::int32_t LineLength(double sampleRate, double milliseconds, std::int32_t shortest) {
  return std::max(shortest, static_cast<std::int32_t>(std::floor(sampleRate * milliseconds / 1000.0)));
}

// In-place fast Walsh-Hadamard transform; rows in natural (Sylvester) order.
void Hadamard(std::array<double, 8>& v) {
  for (std::size_t half = 1; half < v.size(); half *= 2) {
    for (std::size_t start = 0; start < v.size(); start += 2 * half) {
      for (std::size_t j = start; j < start + half; ++j) {
        const double a = v[j];
        const double b = v[j + half];
        v[j] = a + b;
        v[j + half] = a - b;
      }
    }
  }
}

double ReadAtPosition(const RingDelay& line, double position) {
  const double whole = std::floor(position);
  return ReadCubicAt(line, static_cast<std::int32_t>(whole), position - whole);
}

}  // namespace

void ShimmerTuning::Read(const TuningEnvironment& environment) {
  environment.ReadReal("TARNWELL_SHIM_DAMP", damp);
  environment.ReadReal("TARNWELL_SHIM_LOOPGAIN", loopGain);
}

void ShimmerBlock::Prepare(const BayPrepareContext& context) {
  Prepare(context.sampleRate, context.blockTunings.shimmer);
}

void ShimmerBlock::Prepare(double sampleRate, const ShimmerTuning& tuning) {
  sampleRate_ = sampleRate;
  smoothCoef_ = OnePoleCoefficient(kSmoothSeconds, sampleRate);
  tuning_ = tuning;
  for (std::size_t i = 0; i < kLines; ++i) {
    lines_[i].Resize(LineLength(sampleRate, kLineMs[i], kShortestLine));
  }
  for (std::size_t i = 0; i < diffusers_.size(); ++i) {
    diffusers_[i].Resize(LineLength(sampleRate, kDiffuserMs[i], kShortestLine));
  }
  pitchBuffer_.Resize(LineLength(sampleRate, kPitchBufferMs, kShortestLine));
  coefficientAmount_ = -1.0;
  grainCountdown_ = 0.0;
  // A grain grown at a higher rate can be longer than this rate's pitch buffer.
  grainLength_ = 1.0;
  grainBase_ = 0.0;
  randomState_ = 1;
  Reset();
}

void ShimmerBlock::SetAmount(double amount) { targetAmount_ = ClampToUnit(amount); }

void ShimmerBlock::UpdateCoefficients(double amount) {
  coefficientAmount_ = amount;
  const double decaySamples = (kDecaySecondsPerAmount * amount + 1.0) * sampleRate_;
  for (std::size_t i = 0; i < kLines; ++i) {
    lineGain_[i] = FastPow10(-3.0 * lines_[i].Length() / decaySamples);
  }
  wetGain_ = FastDbToGain(kWetDbPerAmount * amount + kWetDbAtZero);
  grainBase_ = amount * kGrainSecondsAtFullAmount * sampleRate_;
}

// Two heads, half a grain apart under Hann windows, read the buffer while the countdown falls by
// one a frame and the write position rises by one: twice the recording speed, an octave up.
double ShimmerBlock::PitchShift() {
  const double length = grainLength_;
  const double first = grainCountdown_;
  double second = first + length / 2.0;
  second -= second >= length ? length : 0.0;
  const double write = pitchBuffer_.Position();
  const double headFirst = ReadAtPosition(pitchBuffer_, write - first);
  const double headSecond = ReadAtPosition(pitchBuffer_, write - second);
  // The second head sits half a period of the window later, where the window is its complement.
  const double weightFirst = 0.5 - 0.5 * windowCos_;
  return (weightFirst * headFirst + (1.0 - weightFirst) * headSecond) * kMixScale;
}

void ShimmerBlock::AnchorWindow() {
  const auto [sine, cosine] = FastSinCos(kTwoPi * grainCountdown_ / grainLength_);
  windowCos_ = cosine;
  windowSin_ = sine;
}

void ShimmerBlock::SetWindowStep() {
  const auto [sine, cosine] = FastSinCos(kTwoPi / grainLength_);
  stepCos_ = cosine;
  stepSin_ = sine;
  stepLength_ = grainLength_;
}

void ShimmerBlock::AdvanceGrain() {
  grainCountdown_ -= 1.0;
  if (grainCountdown_ < 0.0) {
    grainCountdown_ = grainLength_;
    randomState_ = randomState_ * kRandomMultiplier + kRandomIncrement;
    const double r = static_cast<double>(randomState_ >> 8) * kRandomScale;
    grainLength_ = std::max(1.0, (kGrainSpreadBase + kGrainSpread * r) * grainBase_);
    SetWindowStep();
    AnchorWindow();
    return;
  }
  // The window's phase falls by one frame's step: a rotation, re-anchored at every block and grain.
  const double c = windowCos_ * stepCos_ + windowSin_ * stepSin_;
  windowSin_ = windowSin_ * stepCos_ - windowCos_ * stepSin_;
  windowCos_ = c;
}

void ShimmerBlock::SetOutputScale(double amount) {
  outputAmount_ = amount;
  outputScale_ = FastSinCos(amount * kOutputCurve).sine * kOutputGain;
}

void ShimmerBlock::Process(double* left, double* right, std::int32_t frames) {
  if (pitchBuffer_.Length() < kShortestPitchBuffer) {
    return;
  }
  const double damp = tuning_.damp;
  if (grainLength_ != stepLength_) {
    SetWindowStep();
  }
  AnchorWindow();
  for (std::int32_t i = 0; i < frames; ++i) {
    smoothAmount_ = SmoothTowards(smoothAmount_, targetAmount_, smoothCoef_);
    const double a = smoothAmount_;
    if (std::fabs(a - coefficientAmount_) > kRecomputeTolerance) {
      UpdateCoefficients(a);
    }
    if (a != outputAmount_) {
      SetOutputScale(a);
    }

    const double inLeft = left[i];
    const double inRight = right[i];
    const double e = AllpassSeries(diffusers_, kDiffuserGains, (inLeft + inRight) / 2.0);

    std::array<double, kLines> y;
    std::array<double, kLines> mixed;
    for (std::size_t j = 0; j < kLines; ++j) {
      y[j] = lines_[j].Oldest();
      lineDamp_[j] = damp * lineDamp_[j] + (1.0 - damp) * y[j];
      mixed[j] = lineDamp_[j] * lineGain_[j];
    }
    double dampedSum = 0.0;
    for (const double d : mixed) {
      dampedSum += d;
    }

    const double pitched = PitchShift();
    AdvanceGrain();

    Hadamard(mixed);
    for (std::size_t j = 0; j < kLines; ++j) {
      const double pitchSign = j % 2 == 0 ? 1.0 : -1.0;
      lines_[j].Push((mixed[j] * kMixScale * kNetworkShare + pitchSign * kPitchShare * pitched) * tuning_.loopGain + e);
    }
    pitchBuffer_.Push(dampedSum * kMixScale);

    const double k = outputScale_ * wetGain_;
    right[i] = inRight + (y[0] + y[1] - y[2] - y[3] + y[4] + y[5] - y[6] - y[7]) * k;
    left[i] = inLeft + (y[0] - y[1] + y[2] - y[3] + y[4] - y[5] + y[6] - y[7]) * k;
  }
}

void ShimmerBlock::Reset() {
  ClearLines(lines_);
  ClearLines(diffusers_);
  pitchBuffer_.Clear();
  lineDamp_ = {};
}

void ShimmerBlock::Release() {
  ReleaseLines(lines_);
  ReleaseLines(diffusers_);
  pitchBuffer_.Release();
}

}  // namespace tarnwell::dsp
