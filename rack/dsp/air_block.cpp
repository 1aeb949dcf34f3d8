#include "rack/dsp/air_block.h"

#include <algorithm>
#include <cmath>
#include <limits>

#include "rack/dsp/block_tunings.h"
#include "rack/dsp/clamp_unit.h"
#include "rack/dsp/dsp_math.h"
#include "rack/dsp/fast_math.h"
#include "rack/dsp/stereo_fast_math.h"
#include "rack/dsp/stereo_frames.h"

namespace tarnwell::dsp {

namespace {

constexpr double kSmoothSeconds = 0.01;
constexpr std::int32_t kLowestFactor = 1;
constexpr std::int32_t kHighestFactor = 4;
constexpr double kOversamplingCutoffShareOfRate = 0.44;
constexpr std::int32_t kCrossoverMode = 1;
constexpr std::int32_t kShelfMode = 2;
constexpr double kBypassBelowAmount = 1e-5;
constexpr double kRecomputeTolerance = 1e-6;

// Two second-order sections of a fourth-order Butterworth, and of its Bessel counterpart (whose
// sections sit below the nominal corner).
constexpr double kButterworthQ1 = 0.5412;
constexpr double kButterworthQ2 = 1.3066;
constexpr double kBesselQ1 = 0.5219;
constexpr double kBesselQ2 = 0.8055;
constexpr double kBesselCorner1 = 0.6981;
constexpr double kBesselCorner2 = 0.6227;
constexpr double kHarmonicHz = 9500.0;
constexpr double kBesselHarmonicHz1 = 6631.95;
constexpr double kBesselHarmonicHz2 = 5915.65;
constexpr double kBandLowPassQ = 0.7071;

constexpr double kShelfWarpHz = 16000.0;
// Keeps the prewarp tangent finite and positive at the lowest rates.
constexpr double kHighestWarpShareOfRate = 0.45;
constexpr double kHighestClipKneeAmount = 0.97;

// High-band gain of the crossover mode in dB, at amounts 0.1, 0.2 .. 1.0.
constexpr std::array<double, 10> kCrossoverGainDb = {-0.93, -0.94, -1.0,  -1.28,  -1.86,
                                                     -2.79, -4.19, -6.35, -10.07, -15.14};

double CrossoverTableDb(double amount) {
  const double position = amount * 10.0 - 1.0;
  if (position <= 0.0) {
    return kCrossoverGainDb.front();
  }
  const auto last = static_cast<double>(kCrossoverGainDb.size() - 1);
  if (position >= last) {
    return kCrossoverGainDb.back();
  }
  const auto i = static_cast<std::size_t>(position);
  const double t = position - static_cast<double>(i);
  return kCrossoverGainDb[i] + t * (kCrossoverGainDb[i + 1] - kCrossoverGainDb[i]);
}

struct SectionPair {
  Biquad first;
  Biquad second;
};

SectionPair DesignPair(bool highPass, double sampleRate, double hz1, double q1, double hz2, double q2) {
  SectionPair pair;
  const auto designer = highPass ? &DesignHighPass : &DesignLowPass;
  designer(pair.first, sampleRate, hz1, q1);
  designer(pair.second, sampleRate, hz2, q2);
  return pair;
}

// Fills a chain with the pair's sections in turn.
template <std::size_t N>
void Assign(std::array<StereoBiquad, N>& chain, const SectionPair& pair) {
  for (std::size_t i = 0; i < N; ++i) {
    chain[i].SetCoefficients(i % 2 == 0 ? pair.first : pair.second);
  }
}

}  // namespace

void AirTuning::Read(const TuningEnvironment& environment) {
  oversampling = 2;
  environment.ReadInteger("TARNWELL_AIR_OS", oversampling);
  environment.ReadReal("TARNWELL_AIR_DRIVE", driveMax);
  environment.ReadReal("TARNWELL_AIR_OUT", outputMix);
  environment.ReadReal("TARNWELL_AIR_EXP", driveExponent);
  environment.ReadReal("TARNWELL_AIR_TOP", topHz);
  environment.ReadReal("TARNWELL_AIR_BIAS", bias);
  environment.ReadReal("TARNWELL_AIR_INHP", inputHighPassHz);
  environment.ReadInteger("TARNWELL_AIR_MODE", modeOverride);
  environment.ReadReal("TARNWELL_AIR_RCROSS", crossoverHz);
  environment.ReadReal("TARNWELL_AIR_ROUT", crossoverGainOverride);
  environment.ReadInteger("TARNWELL_AIR_BESSEL", bessel);
  environment.ReadReal("TARNWELL_AIR_SHELFDB", shelfDb);
  environment.ReadReal("TARNWELL_AIR_SHELFF0", shelfHz);
}

void AirBlock::Prepare(const BayPrepareContext& context) { Prepare(context.sampleRate, context.blockTunings.air); }

void AirBlock::Prepare(double sampleRate, const AirTuning& tuning) {
  sampleRate_ = sampleRate;
  tuning_ = tuning;
  smoothCoef_ = OnePoleCoefficient(kSmoothSeconds, sampleRate);
  mode_ = std::max(0, tuning.modeOverride);
  shelfWarpHz_ = std::min(kShelfWarpHz, kHighestWarpShareOfRate * sampleRate);
  shelfWarpScale_ = kTwoPi * shelfWarpHz_ / std::tan(kTwoPi / 2.0 * shelfWarpHz_ / sampleRate_);
  DesignOversamplingFilters(kOversamplingCutoffShareOfRate * sampleRate, tuning.oversampling);
  DesignFixedFilters();
  designedExciterHz_ = -1.0;
  designedAmount_ = std::numeric_limits<double>::quiet_NaN();
  UpdateCoefficients();
  Reset();
}

void AirBlock::DesignOversamplingFilters(double cutoffHz, std::int32_t factor) {
  oversampler_.factor = std::clamp(factor, kLowestFactor, kHighestFactor);
  oversampler_.factorGain = static_cast<double>(oversampler_.factor);
  const double rate = oversampler_.factorGain * sampleRate_;
  const SectionPair pair = DesignPair(false, rate, cutoffHz, kButterworthQ1, cutoffHz, kButterworthQ2);
  Assign(oversampler_.up, pair);
  Assign(oversampler_.down, pair);
}

void AirBlock::DesignFixedFilters() {
  Biquad design;
  DesignLowPass(design, sampleRate_, bandLowPassHz_, kBandLowPassQ);
  bandLowPass_.SetCoefficients(design);
  Assign(harmonicHighPass_,
         tuning_.bessel != 0
             ? DesignPair(true, sampleRate_, kBesselHarmonicHz1, kBesselQ1, kBesselHarmonicHz2, kBesselQ2)
             : DesignPair(true, sampleRate_, kHarmonicHz, kButterworthQ1, kHarmonicHz, kButterworthQ2));
  const double top = tuning_.topHz;
  Assign(topLowPass_, DesignPair(false, sampleRate_, top, kButterworthQ1, top, kButterworthQ2));
  const double cross = tuning_.crossoverHz;
  Assign(crossoverHighPass_, DesignPair(true, sampleRate_, cross, kButterworthQ1, cross, kButterworthQ2));
  Assign(crossoverLowPass_, DesignPair(false, sampleRate_, cross, kButterworthQ1, cross, kButterworthQ2));
}

void AirBlock::SetAmount(double amount) {
  mode_ = std::max(0, tuning_.modeOverride);
  if (tuning_.inputHighPassHz > 0.0) {
    exciterHighPassHz_ = tuning_.inputHighPassHz;
  }
  targetAmount_ = ClampToUnit(amount);
  smoothAmount_ = targetAmount_;
  UpdateCoefficients();
}

void AirBlock::UpdateCoefficients() {
  if (sampleRate_ <= 0.0) {
    return;
  }
  if (exciterHighPassHz_ != designedExciterHz_) {
    designedExciterHz_ = exciterHighPassHz_;
    const double hz = exciterHighPassHz_;
    Assign(exciterHighPass_,
           tuning_.bessel != 0
               ? DesignPair(true, sampleRate_, kBesselCorner1 * hz, kBesselQ1, kBesselCorner2 * hz, kBesselQ2)
               : DesignPair(true, sampleRate_, hz, kButterworthQ1, hz, kButterworthQ2));
  }

  // Bays set the amount every block; the powers are taken only when it moves.
  const double a = smoothAmount_;
  if (a == designedAmount_) {
    return;
  }
  designedAmount_ = a;
  drive_ = FastPow(a, tuning_.driveExponent) * tuning_.driveMax;
  const double m = std::min(kHighestClipKneeAmount, a);
  clipKnee_ = 2.0 * m / (1.0 - m);
  crossoverGain_ =
      tuning_.crossoverGainOverride > 0.0 ? tuning_.crossoverGainOverride : FastDbToGain(CrossoverTableDb(a));

  // First-order shelf by the bilinear transform, prewarped at shelfWarpHz_.
  const double f = shelfWarpScale_ / (kTwoPi * tuning_.shelfHz);
  const double e = f * FastDbToGain(a * tuning_.shelfDb);
  const Biquad shelf{(1.0 + e) / (1.0 + f), (1.0 - e) / (1.0 + f), 0.0, (1.0 - f) / (1.0 + f), 0.0};
  // A pole tuned to 0 Hz has no finite design and one below it an unstable one: the shelf then
  // passes the signal.
  const bool usable =
      tuning_.shelfHz > 0.0 && std::isfinite(shelf.b0) && std::isfinite(shelf.b1) && std::isfinite(shelf.a1);
  shelf_.SetCoefficients(usable ? shelf : Biquad{});
}

StereoSample AirBlock::ProcessTuningModeFrame(const StereoSample& x) {
  if (mode_ == kShelfMode) {
    return shelf_.Run(x);
  }
  if (mode_ == kCrossoverMode) {
    const StereoSample low = RunChain(crossoverLowPass_, x);
    StereoSample clipped;
    for (std::size_t c = 0; c < 2; ++c) {
      clipped[c] = (clipKnee_ + 1.0) * x[c] / (clipKnee_ * std::fabs(x[c]) + 1.0);
    }
    const StereoSample high = RunChain(crossoverHighPass_, clipped);
    return {high[0] * crossoverGain_ + low[0], high[1] * crossoverGain_ + low[1]};
  }
  return x;
}

void AirBlock::ProcessExciterChunk(double* left, double* right, std::int32_t frames, double biasTanh) {
  const std::int32_t factor = oversampler_.factor;
  // The drive each frame runs at, as the amount glides.
  std::array<double, kStereoChunkFrames> gains;
  for (std::int32_t i = 0; i < frames; ++i) {
    StepAmount();
    gains[static_cast<std::size_t>(i)] = oversampler_.factorGain * drive_;
  }
  std::array<StereoFrame, kStereoChunkFrames> band;
  LoadFrames(left, right, band.data(), frames);
  RunCascade(std::array<StereoBiquad*, 3>{&exciterHighPass_[0], &exciterHighPass_[1], &bandLowPass_}, band.data(),
             frames);

  // Zero-stuffed to the oversampled rate, shaped, and filtered back down.
  std::array<StereoFrame, kStereoChunkFrames * kHighestFactor> fast{};
  const std::int32_t fastFrames = frames * factor;
  for (std::int32_t i = 0; i < frames; ++i) {
    fast[static_cast<std::size_t>(i * factor)] = band[static_cast<std::size_t>(i)];
  }
  RunCascade(SectionsOf(oversampler_.up), fast.data(), fastFrames);
  for (std::int32_t i = 0; i < fastFrames; ++i) {
    const double gain = gains[static_cast<std::size_t>(i / factor)];
    StereoFrame& m = fast[static_cast<std::size_t>(i)];
    m = StereoFastTanh(m * BothChannels(gain) + BothChannels(tuning_.bias)) - BothChannels(biasTanh);
  }
  RunCascade(SectionsOf(oversampler_.down), fast.data(), fastFrames);

  std::array<StereoFrame, kStereoChunkFrames>& harmonics = band;
  for (std::int32_t i = 0; i < frames; ++i) {
    harmonics[static_cast<std::size_t>(i)] = fast[static_cast<std::size_t>(i * factor)];
  }
  RunCascade(SectionsOf(harmonicHighPass_), harmonics.data(), frames);
  RunCascade(SectionsOf(topLowPass_), harmonics.data(), frames);
  const StereoFrame mix = BothChannels(tuning_.outputMix);
  for (std::int32_t i = 0; i < frames; ++i) {
    StereoFrame& h = harmonics[static_cast<std::size_t>(i)];
    h = StereoFrame{left[i], right[i]} + mix * h;
  }
  StoreFrames(harmonics.data(), left, right, frames);
}

void AirBlock::StepAmount() {
  smoothAmount_ = SmoothTowards(smoothAmount_, targetAmount_, smoothCoef_);
  if (std::fabs(smoothAmount_ - coefficientAmount_) > kRecomputeTolerance) {
    coefficientAmount_ = smoothAmount_;
    UpdateCoefficients();
  }
}

void AirBlock::Process(double* left, double* right, std::int32_t frames) {
  if (targetAmount_ <= 0.0 && smoothAmount_ <= kBypassBelowAmount) {
    return;
  }
  if (mode_ != kShelfMode && mode_ != kCrossoverMode) {
    const double biasTanh = FastTanh(tuning_.bias);
    for (std::int32_t start = 0; start < frames; start += kStereoChunkFrames) {
      const std::int32_t count = std::min(kStereoChunkFrames, frames - start);
      ProcessExciterChunk(left + start, right + start, count, biasTanh);
    }
    return;
  }
  for (std::int32_t i = 0; i < frames; ++i) {
    StepAmount();
    const StereoSample out = ProcessTuningModeFrame({left[i], right[i]});
    right[i] = out[1];
    left[i] = out[0];
  }
}

void AirBlock::Reset() {
  ClearChain(exciterHighPass_);
  bandLowPass_.Clear();
  ClearChain(harmonicHighPass_);
  ClearChain(topLowPass_);
  ClearChain(oversampler_.up);
  ClearChain(oversampler_.down);
  ClearChain(crossoverHighPass_);
  ClearChain(crossoverLowPass_);
  shelf_.Clear();
}

}  // namespace tarnwell::dsp
