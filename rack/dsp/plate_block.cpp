#include "rack/dsp/plate_block.h"

#include <algorithm>
#include <atomic>
#include <cmath>
#include <emmintrin.h>
#include <new>

#include "rack/dsp/block_tunings.h"
#include "rack/dsp/clamp_unit.h"
#include "rack/dsp/dsp_math.h"
#include "rack/dsp/stereo_frames.h"

namespace tarnwell::dsp {

namespace {

constexpr double kReferenceRate = 44100.0;
constexpr double kPreDelaySeconds = 2.0;
constexpr std::int32_t kShortestPreDelay = 16;

constexpr std::array<double, 6> kLeftTaps = {441.0, 661.0, 882.0, 1102.0, 1323.0, 1543.0};
constexpr std::array<double, 6> kRightTaps = {529.0, 749.0, 970.0, 1190.0, 1411.0, 1631.0};
constexpr std::array<double, 6> kTapGains = {0.5, 0.4, 0.3, 0.25, 0.2, 0.15};

constexpr std::array<double, 16> kCombLengths = {1116.0, 1188.0, 1277.0, 1356.0, 1422.0, 1491.0, 1557.0, 1617.0,
                                                 1139.0, 1211.0, 1300.0, 1379.0, 1445.0, 1514.0, 1580.0, 1640.0};
constexpr std::array<double, 8> kCombRateFactors = {0.8,         0.857142857, 0.914285714, 0.971428571,
                                                    1.028571429, 1.085714286, 1.142857143, 0.8};
constexpr double kCombLfoHz = 0.7;
constexpr double kCombDepthSamples = 2.0;
constexpr std::int32_t kCombPad = 8;
constexpr std::int32_t kShortestComb = 8;
constexpr double kCombMix = 0.125;
// Bounds the rotated comb LFOs' magnitude, which rounding may carry a little above 1.
constexpr double kLfoOvershoot = 1.001;
constexpr double kHighestCombFeedback = 0.96;
constexpr double kCombFeedbackPerAmount = 0.08;

constexpr std::int32_t kShortestLine = 4;

constexpr std::int32_t kTankAllpassLength = 4096;
constexpr std::array<double, 2> kTankDecayLengths = {1102.0, 970.0};
constexpr std::array<double, 2> kTankDiffuserLengths = {1323.0, 1190.0};
constexpr std::int32_t kTankPad = 4;
constexpr double kTankLfoHz = 0.7;
constexpr double kTankReadPad = 2.0;
// Keeps both read paths of the tank's modulated allpass inside its line, whatever the tuning.
constexpr double kShortestTankRead = 2.0;
constexpr double kLongestTankRead = kTankAllpassLength - 2.0;
constexpr double kSmallTankDecayBase = 0.857;
constexpr double kSmallTankDecayPerAmount = 0.08;
constexpr double kHighestSmallTankDecay = 0.97;
constexpr double kRightExcursionFactor = 1.3;

constexpr std::array<double, 8> kChainLengths = {266.0, 2974.0, 1913.0, 1996.0, 1990.0, 187.0, 1066.0, 353.0};
constexpr std::array<double, 8> kChainGains = {0.5, 0.6, 0.5, 0.6, 0.625, 0.5, 0.6, 0.5};
constexpr std::int32_t kChainPad = 16;
constexpr double kHighestChainGain = 0.95;

constexpr double kFigureEightModeFrom = 1.5;
constexpr double kFigureEightGain = 1.85;
constexpr double kLowestInputLowPassHz = 20.0;
constexpr double kInputLowPassHz = 6000.0;
constexpr double kInputLowPassHzPerAmount = 12000.0;
constexpr double kHighestCornerShareOfRate = 0.49;
constexpr double kInputLowPassQ = 0.707;
constexpr double kLowestHighPassHz = 5.0;
constexpr double kHighPassOffBelowHz = 1.0;

std::atomic<double> combRounding{0.0};

}  // namespace

struct PlateBlock::ChunkArrays {
  alignas(64) std::array<StereoFrame, kChunkFrames> dry;
  alignas(64) std::array<StereoFrame, kChunkFrames> filtered;
  alignas(64) OscillatorRuns lfo;
  alignas(64) std::array<std::array<double, kChunkFrames + kLaneSlack>, 2> sides;
  alignas(64) InterleavedChunk reflections;
  alignas(64) InterleavedChunk combInputs;
  alignas(64) std::array<double, kChunkFrames + kLaneSlack> delays;
  alignas(64) CombPairs damped;
  alignas(64) InterleavedChunk combs;
  alignas(64) std::array<double, kChunkFrames> mid;
  alignas(64) std::array<double, kChunkFrames> echoes;
  alignas(64) std::array<std::array<double, kChunkFrames>, 2> sines;
  alignas(64) std::array<StereoFrame, kChunkFrames> out;
};

// GCC for 64-bit Windows keeps the stack aligned to 16 bytes only, where half the four-lane loads and
// stores of a chunk's arrays would straddle two cache lines; so the arrays go at a cache line's start
// within a stack buffer of bytes. Left uninitialised, as local arrays are.
struct PlateBlock::ChunkBuffer {
  static constexpr std::size_t kAlignment = alignof(ChunkArrays);
  unsigned char bytes[sizeof(ChunkArrays) + kAlignment];

  [[gnu::always_inline]] ChunkArrays& Arrays() {
    const std::size_t skip = (kAlignment - reinterpret_cast<std::uintptr_t>(bytes) % kAlignment) % kAlignment;
    return *new (bytes + skip) ChunkArrays;
  }
};

bool PlateWideVectorsAvailable() {
#if defined(__GNUC__) && (defined(__x86_64__) || defined(__i386__))
  __builtin_cpu_init();
  return __builtin_cpu_supports("avx2") && __builtin_cpu_supports("fma");
#else
  return false;
#endif
}

double PlateCombRounding() { return combRounding.load(std::memory_order_relaxed); }

void SetPlateCombRounding(double value) { combRounding.store(value, std::memory_order_relaxed); }

void PlateTuning::Read(const TuningEnvironment& environment) {
  environment.ReadReal("TARNWELL_PLATE_WET", wetGain);
  environment.ReadReal("TARNWELL_PLATE_ERFB", reflectionFeedback);
  environment.ReadReal("TARNWELL_PLATE_EROUT", reflectionOut);
  environment.ReadReal("TARNWELL_PLATE_FBBASE", feedbackBase);
  environment.ReadReal("TARNWELL_PLATE_MOD", combModDepth);
  environment.ReadReal("TARNWELL_PLATE_DAMPBASE", dampBase);
  environment.ReadReal("TARNWELL_PLATE_DAMPSLOPE", dampSlope);
  environment.ReadReal("TARNWELL_PLATE_TANK", tankMode);
  if (environment.ReadReal("TARNWELL_PLATE_TANKDECAY", tankDecayBase)) {
    tankDecaySlope = 0.0;
  }
  environment.ReadReal("TARNWELL_PLATE_TANKDAMP", tankDamp);
  environment.ReadReal("TARNWELL_PLATE_MODDEPTH", tankModDepth);
  environment.ReadReal("TARNWELL_PLATE_CHAIN", chainAmount);
  environment.ReadReal("TARNWELL_PLATE_CHAINCOEF", chainCoef);
  environment.ReadReal("TARNWELL_PLATE_TANKTOWET", tankToWet);
  environment.ReadReal("TARNWELL_PLATE_CHAINLOOP", chainLoop);
  environment.ReadReal("TARNWELL_PLATE_DCHZ", dcHz);
  environment.ReadReal("TARNWELL_PLATE_HPHZ", highPassHz);
  environment.ReadReal("TARNWELL_PLATE_TANKMOD", tankMod);
  environment.ReadReal("TARNWELL_PLATE_TANKMODINT", tankModInteger);
  environment.ReadReal("TARNWELL_PLATE_ERDIFF", reflectionDiffusion);
  double rounding = PlateCombRounding();
  if (environment.ReadReal("TARNWELL_PLATE_COMBMODINT", rounding)) {
    SetPlateCombRounding(rounding);
  }
}

void PlateBlock::Prepare(const BayPrepareContext& context) { Prepare(context.sampleRate, context.blockTunings.plate); }

void PlateBlock::Prepare(double sampleRate, const PlateTuning& tuning) {
  sampleRate_ = sampleRate;
  tuning_ = tuning;
  const double scale = sampleRate / kReferenceRate;
  dcCoef_ = 1.0 - std::exp(-kTwoPi * tuning.dcHz / sampleRate);

  const auto preDelayLength = static_cast<std::int32_t>(kPreDelaySeconds * sampleRate);
  // A tap of no delay reads what went in a whole line before, as one of the line's length does.
  const auto tapDelay = [&](double length) {
    const auto delay = static_cast<std::int32_t>(length * sampleRate / kReferenceRate);
    return delay > 0 ? delay : preDelayLength;
  };
  std::int32_t longestTap = 0;
  rightTaps_ = 0;
  for (std::size_t i = 0; i < kTaps; ++i) {
    leftTapDelays_[i] = tapDelay(kLeftTaps[i]);
    longestTap = std::max(longestTap, leftTapDelays_[i]);
    if (kLeftTaps[i] * sampleRate / kReferenceRate >= 1.0) {
      // The right side's taps in the order they are added, with their gains.
      rightTapDelays_[rightTaps_] = tapDelay(kRightTaps[i]);
      rightTapGains_[rightTaps_] = kTapGains[i];
      longestTap = std::max(longestTap, rightTapDelays_[rightTaps_]);
      ++rightTaps_;
    }
  }
  for (PreDelayLine& line : preDelay_) {
    line.Resize(preDelayLength, longestTap, kChunkFrames, static_cast<std::int32_t>(kLaneSlack));
  }
  std::array<std::int32_t, kCombs> combLengths{};
  for (std::size_t i = 0; i < kCombs; ++i) {
    combLengths[i] = ScaledLength(kCombLengths[i], scale, kCombPad, kShortestComb);
  }
  combLines_.Resize(combLengths);
  inputDiffusers_.Prepare(scale);
  reflectionDiffusers_.Prepare(scale);
  for (std::size_t h = 0; h < tank_.size(); ++h) {
    TankHalf& half = tank_[h];
    half.allpass.Resize(kTankAllpassLength);
    half.decay.Resize(ScaledLength(kTankDecayLengths[h], scale, kTankPad, kShortestLine));
    half.diffuser.Resize(ScaledLength(kTankDiffuserLengths[h], scale, kTankPad, kShortestLine));
    half.baseDelay = 1;
  }
  const double tankStep = kTankLfoHz / sampleRate;
  tankSines_.Prepare({tankStep, tankStep});
  // The comb LFOs run on from where they were.
  const std::array<double, kCombsPerSide> combPhases = combSines_.Phases();
  for (std::size_t i = 0; i < kCombsPerSide; ++i) {
    combPhaseStep_[i] = kCombLfoHz * kCombRateFactors[i] / sampleRate_;
  }
  combSines_.Prepare(combPhaseStep_);
  combSines_.Start(combPhases);
  for (std::size_t i = 0; i < kCombs; ++i) {
    combBaseDelay_[i] = std::floor(kCombLengths[i] * (sampleRate_ / kReferenceRate));
  }
  for (std::size_t k = 0; k < kCombsPerSide; ++k) {
    pairOffsets_[k] = static_cast<std::int32_t>(combBaseDelay_[k + kCombsPerSide] - combBaseDelay_[k]);
  }
  combDepth_ = kCombDepthSamples * tuning_.combModDepth;
  pairedReads_ = PairedReadsFit();
  wide_ = tuning.wideVectors;
  for (std::size_t i = 0; i < chain_.size(); ++i) {
    chain_[i].Resize(ScaledLength(kChainLengths[i], scale, kChainPad, kShortestLine));
  }
  // The large tank's lines are sized only when it is selected.
  if (tuning.tankMode >= kFigureEightModeFrom) {
    figureEight_.Prepare(sampleRate);
  } else {
    figureEight_.Release();
  }
  designedSize_ = -1.0;
  Reset();
}

void PlateBlock::SetSize(double amount) {
  const double c = ClampToUnit(amount);
  sizeAmount_ = c;
  if (c == designedSize_) {
    return;
  }
  designedSize_ = c;
  Biquad design;
  const double lowPassHz = std::min(kHighestCornerShareOfRate * sampleRate_,
                                    std::max(kLowestInputLowPassHz, kInputLowPassHz + kInputLowPassHzPerAmount * c));
  DesignLowPass(design, sampleRate_, lowPassHz, kInputLowPassQ);
  inputLowPass_.SetCoefficients(design);
  DesignHighPass(design, sampleRate_, std::max(kLowestHighPassHz, tuning_.highPassHz), highPassQ_);
  outputHighPass_.SetCoefficients(design);

  figureEightDecay_ = tuning_.tankDecayBase + c * tuning_.tankDecaySlope;
  combFeedback_ = std::min(kHighestCombFeedback, std::max(0.0, tuning_.feedbackBase + kCombFeedbackPerAmount * c));
  combDamping_ = tuning_.dampBase - c * tuning_.dampSlope;
  smallTankDecay_ = std::min(kHighestSmallTankDecay, kSmallTankDecayBase + kSmallTankDecayPerAmount * c);

  tank_[0].excursion = 2;
  tank_[1].excursion = static_cast<std::int32_t>(std::floor(2.0 * kRightExcursionFactor));

  const double chainScale = tuning_.chainAmount * tuning_.chainCoef;
  for (std::size_t i = 0; i < chainGains_.size(); ++i) {
    chainGains_[i] = std::min(kHighestChainGain, kChainGains[i] * chainScale);
  }
}

bool PlateBlock::PairedReadsFit() const {
  // A rounded delay may move half a sample further; the margin covers the rotation's overshoot.
  const double reach = std::fabs(combDepth_) * kLfoOvershoot + 0.5;
  if (!(reach < 1e6)) {
    return false;
  }
  for (std::size_t i = 0; i < kCombs; ++i) {
    if (combBaseDelay_[i] - reach < 2.0 || combBaseDelay_[i] + reach > combLines_.LongestRead(i)) {
      return false;
    }
  }
  return true;
}

std::int32_t PlateBlock::ChunkFrames() const {
  // A read's whole delay is at least the shortest comb less the excursion, rounded down; the
  // rotated LFO may overshoot 1 by a few rounding steps, which the margin covers.
  double shortest = combBaseDelay_[0];
  for (const double base : combBaseDelay_) {
    shortest = std::min(shortest, base);
  }
  const double lowest = shortest - std::fabs(combDepth_) * kLfoOvershoot - 1.0;
  if (!(lowest >= 2.0)) {
    return 1;
  }
  // Every tap has at least one frame of delay (see Prepare).
  std::int32_t longestTap = 0;
  for (std::size_t i = 0; i < kTaps; ++i) {
    longestTap = std::max(longestTap, leftTapDelays_[i]);
  }
  for (std::size_t i = 0; i < rightTaps_; ++i) {
    longestTap = std::max(longestTap, rightTapDelays_[i]);
  }
  const double combFrames = std::min(static_cast<double>(kChunkFrames), std::floor(lowest) - 1.0);
  return std::max(1, std::min(static_cast<std::int32_t>(combFrames), preDelay_[0].Length() - longestTap));
}

template <int W>
[[gnu::always_inline]] inline void PlateBlock::ReadCombs(std::int32_t frames, const OscillatorRuns& lfo,
                                                         CombPairs& damped, InterleavedChunk& means,
                                                         const InterleavedChunk* inputs,
                                                         std::array<double, kChunkFrames + kLaneSlack>& delays) {
  const auto count = static_cast<std::size_t>(frames);
  CombPairs& reads = damped;
  if (pairedReads_) {
    for (std::size_t k = 0; k < kCombsPerSide; ++k) {
      PlateLanes<W> lowest;
      PlateLanes<W> highest;
      for (std::int32_t f = 0; f < frames; f += W) {
        PlateLanes<W> offset;
        std::memcpy(&offset, lfo[k].data() + f, sizeof offset);
        PlateLanes<W> delay = combBaseDelay_[k] + offset * combDepth_;
        if (roundCombDelays_) {
          // Positive, so truncation is the floor.
          delay = __builtin_convertvector(__builtin_convertvector(delay + 0.5, PlateLaneInts<W>), PlateLanes<W>);
        }
        std::memcpy(delays.data() + f, &delay, sizeof delay);
        lowest = f == 0 ? delay : (delay < lowest ? delay : lowest);
        highest = f == 0 ? delay : (delay > highest ? delay : highest);
      }
      // The padding lanes of the last vector hold the last frame's delay, so they change nothing.
      double low = lowest[0];
      double high = highest[0];
      for (int lane = 1; lane < W; ++lane) {
        low = std::min(low, lowest[lane]);
        high = std::max(high, highest[lane]);
      }
      const auto lowWhole = static_cast<std::int32_t>(low);
      const std::int32_t steadyWhole = static_cast<std::int32_t>(high) == lowWhole ? lowWhole : -1;
      combLines_.ReadPairRun<W>(k, k + kCombsPerSide, pairOffsets_[k], delays.data(), steadyWhole, reads.data() + 2 * k,
                                kCombs, frames);
    }
  } else {
    ReadCombsClamped(frames, lfo, reads);
  }

  // Lanes hold left comb k and right comb k for W / 2 pairs.
  constexpr std::size_t kGroups = kCombs / W;
  // Filled lane by lane, never through their addresses, so that the states stay in registers.
  std::array<PlateLanes<W>, kGroups> lowPass;
  std::array<PlateLanes<W>, kGroups> smooth;
  for (std::size_t g = 0; g < kGroups; ++g) {
    for (int lane = 0; lane < W; ++lane) {
      lowPass[g][lane] = combLowPass_[W / 2 * g + static_cast<std::size_t>(lane / 2)][lane % 2];
      smooth[g][lane] = combSmooth_[W / 2 * g + static_cast<std::size_t>(lane / 2)][lane % 2];
    }
  }
  const double d = combDamping_;
  const double takeLowPass = 1.0 - d;
  const double keepSmooth = d / 2.0;
  const double takeSmooth = 1.0 - d / 2.0;
  const double feedback = combFeedback_;
  // Lane 2j + s of group g is the comb of side s at position W / 2 g + j, which lies that many lines in.
  std::array<std::size_t, kCombs> lineOffsets;
  for (std::size_t g = 0; g < kGroups; ++g) {
    for (int lane = 0; lane < W; ++lane) {
      const std::size_t comb = W / 2 * g + static_cast<std::size_t>(lane / 2) + kCombsPerSide * (lane % 2);
      lineOffsets[W * g + static_cast<std::size_t>(lane)] = comb * combLines_.Stride();
    }
  }
  double* lines = combLines_.Line(0);
  // One frame of the filters; each group's fed samples (feedback x damped + input) go to fed[g], or,
  // without inputs, the damped samples back over the frame's reads.
  const auto step = [&](std::size_t f, std::array<PlateLanes<W>, kGroups>& fed) [[gnu::always_inline]] {
    double* frame = reads.data() + kCombs * f;
    PlateLanes<W> sum{};
    PlateLanes<W> input{};
    if (inputs != nullptr) {
      for (int lane = 0; lane < W; ++lane) {
        input[lane] = (*inputs)[2 * f + static_cast<std::size_t>(lane % 2)];
      }
    }
#pragma GCC unroll 8
    for (std::size_t g = 0; g < kGroups; ++g) {
      PlateLanes<W> read;
      std::memcpy(&read, frame + W * g, sizeof read);
      lowPass[g] = read * takeLowPass + d * lowPass[g];
      smooth[g] = takeSmooth * lowPass[g] + keepSmooth * smooth[g];
      sum += smooth[g];
      if (inputs != nullptr) {
        fed[g] = smooth[g] * feedback + input;
      } else {
        std::memcpy(frame + W * g, &smooth[g], sizeof smooth[g]);
      }
    }
    double left = sum[0];
    double right = sum[1];
    for (int lane = 2; lane < W; lane += 2) {
      left += sum[lane];
      right += sum[lane + 1];
    }
    means[2 * f] = left * kCombMix;
    means[2 * f + 1] = right * kCombMix;
  };
  std::size_t f = 0;
  if (inputs != nullptr) {
    // W frames at a time, so that each comb's W new samples go to its line as one store.
    for (; f + W <= count; f += W) {
      std::array<std::array<PlateLanes<W>, kGroups>, W> fed;
#pragma GCC unroll 8
      for (std::size_t j = 0; j < W; ++j) {
        step(f + j, fed[j]);
      }
      double* slot = lines + combLines_.Slot(static_cast<std::int32_t>(f));
#pragma GCC unroll 8
      for (std::size_t g = 0; g < kGroups; ++g) {
        std::array<PlateLanes<W>, W> byComb;
        for (std::size_t j = 0; j < W; ++j) {
          byComb[j] = fed[j][g];
        }
        TransposeLanes<W>(byComb);
#pragma GCC unroll 8
        for (std::size_t lane = 0; lane < W; ++lane) {
          std::memcpy(slot + lineOffsets[W * g + lane], &byComb[lane], sizeof byComb[lane]);
        }
      }
    }
    combLines_.MoveOverflow(static_cast<std::int32_t>(f), W);
  }
  for (; f < count; ++f) {
    std::array<PlateLanes<W>, kGroups> fed;
    step(f, fed);
    if (inputs != nullptr) {
      double* slot = lines + combLines_.Slot(static_cast<std::int32_t>(f));
#pragma GCC unroll 8
      for (std::size_t g = 0; g < kGroups; ++g) {
#pragma GCC unroll 8
        for (int lane = 0; lane < W; ++lane) {
          slot[lineOffsets[W * g + static_cast<std::size_t>(lane)]] = fed[g][lane];
        }
      }
    }
  }
  for (std::size_t g = 0; g < kGroups; ++g) {
    for (int lane = 0; lane < W; ++lane) {
      combLowPass_[W / 2 * g + static_cast<std::size_t>(lane / 2)][lane % 2] = lowPass[g][lane];
      combSmooth_[W / 2 * g + static_cast<std::size_t>(lane / 2)][lane % 2] = smooth[g][lane];
    }
  }
  if (inputs != nullptr) {
    combLines_.CopyHeads();
    combLines_.Advance(frames);
  }
}

// Comb by comb, each read clamped to its own line, for tunings whose modulation reaches past a
// comb's ends.
void PlateBlock::ReadCombsClamped(std::int32_t frames, const OscillatorRuns& lfo, CombPairs& reads) {
  const auto count = static_cast<std::size_t>(frames);
  for (std::size_t i = 0; i < kCombs; ++i) {
    std::array<double, kChunkFrames> delays;
    std::array<double, kChunkFrames> values;
    const std::array<double, kChunkFrames + kLaneSlack>& oscillator = lfo[i % kCombsPerSide];
    for (std::size_t f = 0; f < count; ++f) {
      delays[f] = combBaseDelay_[i] + oscillator[f] * combDepth_;
    }
    if (roundCombDelays_) {
      for (std::size_t f = 0; f < count; ++f) {
        delays[f] = std::floor(delays[f] + 0.5);
      }
    }
    combLines_.ReadCubicRun(i, delays.data(), values.data(), frames);
    const std::size_t column = 2 * (i % kCombsPerSide) + i / kCombsPerSide;
    for (std::size_t f = 0; f < count; ++f) {
      reads[kCombs * f + column] = values[f];
    }
  }
}

template <int W>
inline void PlateBlock::PushCombs(std::int32_t frames, const CombPairs& damped, const InterleavedChunk& inputs) {
  for (std::size_t k = 0; k < kCombsPerSide; ++k) {
    combLines_.WritePairRun<W>(k, k + kCombsPerSide, damped.data() + 2 * k, kCombs, combFeedback_, inputs.data(), 2,
                               frames);
  }
  combLines_.Advance(frames);
}

void PlateBlock::Process(double* left, double* right, std::int32_t frames) {
  if (preDelay_[0].Length() < kShortestPreDelay) {
    return;
  }
  roundCombDelays_ = PlateCombRounding() > 0.5;
  const std::int32_t chunk = ChunkFrames();
  for (std::int32_t start = 0; start < frames; start += chunk) {
    const std::int32_t count = std::min(chunk, frames - start);
    if (wide_) {
      ProcessChunkWide(left + start, right + start, count);
    } else {
      ProcessChunkNarrow(left + start, right + start, count);
    }
  }
}

// Stage by stage over the chunk. The combs read frames pushed before it and get this chunk's input at
// its end; only the tanks and the filters carry one frame into the next within it.
template <int W>
[[gnu::always_inline]] inline void PlateBlock::RunChunk(ChunkArrays& arrays, double* left, double* right,
                                                        std::int32_t frames) {
  if (frames <= 0) {
    return;
  }
  const auto count = static_cast<std::size_t>(frames);
  std::array<StereoFrame, kChunkFrames>& dry = arrays.dry;
  LoadFrames(left, right, dry.data(), frames);
  std::array<StereoFrame, kChunkFrames>& filtered = arrays.filtered;
  FilterInput(dry.data(), filtered.data(), frames);
  OscillatorRuns& lfo = arrays.lfo;
  combSines_.Run(lfo, frames);
  // The lanes past the chunk repeat its last frame.
  for (std::array<double, kChunkFrames + kLaneSlack>& run : lfo) {
    std::fill(run.begin() + frames, run.begin() + frames + kLaneSlack, run[count - 1]);
  }

  InterleavedChunk& reflections = arrays.reflections;
  ReflectChunk<W>(arrays, frames);
  InterleavedChunk& combInputs = arrays.combInputs;
  for (std::size_t f = 0; f < count; ++f) {
    for (std::size_t s = 0; s < 2; ++s) {
      combInputs[2 * f + s] = reflections[2 * f + s] * tuning_.reflectionFeedback + filtered[f][s];
    }
  }

  // Without a chain looped back, the combs' inputs are known now and the damping loop writes them.
  const bool chain = tuning_.chainAmount > 0.0;
  const bool looped = chain && tuning_.chainLoop != 0.0;
  CombPairs& damped = arrays.damped;
  InterleavedChunk& combs = arrays.combs;
  ReadCombs<W>(frames, lfo, damped, combs, looped ? nullptr : &combInputs, arrays.delays);
  std::array<double, kChunkFrames>& mid = arrays.mid;
  for (std::size_t f = 0; f < count; ++f) {
    mid[f] = (combs[2 * f] + combs[2 * f + 1]) / 2.0;
  }
  // Both sides pass through the same four lines, left first.
  InterleavedChunk& diffused = combs;
  inputDiffusers_.RunInPlace(diffused.data(), 2 * frames);

  // Each frame's comb input takes the chain's output of the frame before.
  std::array<double, kChunkFrames>& echoes = arrays.echoes;
  if (chain) {
    std::copy_n(mid.begin(), count, echoes.begin());
    for (std::size_t i = 0; i < chain_.size(); ++i) {
      chain_[i].RunAllpass(chainGains_[i], echoes.data(), frames);
    }
  }
  if (looped) {
    for (std::size_t f = 0; f < count; ++f) {
      combInputs[2 * f] += chainFeedback_;
      combInputs[2 * f + 1] += chainFeedback_;
      chainFeedback_ = echoes[f] * tuning_.chainLoop;
    }
    PushCombs<W>(frames, damped, combInputs);
  }

  if (tuning_.reflectionDiffusion > 0.0) {
    reflectionDiffusers_.RunInPlace(reflections.data(), 2 * frames);
  }
  MixChunk(arrays, diffused, chain, frames, left, right);
}

// Multiplies and adds fused: fewer instructions in every loop, each rounding once instead of twice.
[[gnu::target("avx2,fma"), gnu::optimize("fp-contract=fast")]] void PlateBlock::ProcessChunkWide(double* left,
                                                                                                 double* right,
                                                                                                 std::int32_t frames) {
  ChunkBuffer buffer;
  RunChunk<4>(buffer.Arrays(), left, right, frames);
}

void PlateBlock::ProcessChunkNarrow(double* left, double* right, std::int32_t frames) {
  ChunkBuffer buffer;
  RunChunk<2>(buffer.Arrays(), left, right, frames);
}

void PlateBlock::FilterInput(const StereoFrame* dry, StereoFrame* filtered, std::int32_t frames) {
  StereoSection inputLowPass(inputLowPass_);
  for (std::int32_t f = 0; f < frames; ++f) {
    filtered[f] = inputLowPass.Run(dry[f]);
  }
  inputLowPass.KeepStateIn(inputLowPass_);
}

template <int W>
[[gnu::always_inline]] inline void PlateBlock::ReflectChunk(ChunkArrays& arrays, std::int32_t frames) {
  const std::array<StereoFrame, kChunkFrames>& filtered = arrays.filtered;
  InterleavedChunk& reflections = arrays.reflections;
  std::array<std::array<double, kChunkFrames + kLaneSlack>, 2>& sides = arrays.sides;
  for (std::size_t f = 0; f < static_cast<std::size_t>(frames); ++f) {
    sides[0][f] = filtered[f][0];
    sides[1][f] = filtered[f][1];
  }
  for (std::size_t s = 0; s < 2; ++s) {
    preDelay_[s].Push(sides[s].data(), frames);
  }
  preDelay_[0].Reflect<W>(leftTapDelays_, kTapGains, kTaps, sides[0].data(), frames);
  preDelay_[1].Reflect<W>(rightTapDelays_, rightTapGains_, rightTaps_, sides[1].data(), frames);
  for (std::size_t f = 0; f < static_cast<std::size_t>(frames); ++f) {
    reflections[2 * f] = sides[0][f];
    reflections[2 * f + 1] = sides[1][f];
  }
}

[[gnu::always_inline]] inline void PlateBlock::MixChunk(ChunkArrays& arrays, const InterleavedChunk& tankInputs,
                                                        bool chain, std::int32_t frames, double* left, double* right) {
  const bool figureEight = tuning_.tankMode >= kFigureEightModeFrom && figureEight_.Ready();
  if (!figureEight && tuning_.tankModInteger > 0.5) {
    MixChunkWith<true>(arrays, tankInputs, chain, frames, left, right);
  } else {
    MixChunkWith<false>(arrays, tankInputs, chain, frames, left, right);
  }
}

template <bool WholeReads>
[[gnu::always_inline]] inline void PlateBlock::MixChunkWith(ChunkArrays& arrays, const InterleavedChunk& tankInputs,
                                                            bool chain, std::int32_t frames, double* left,
                                                            double* right) {
  const std::array<StereoFrame, kChunkFrames>& dry = arrays.dry;
  const std::array<double, kChunkFrames>& mid = arrays.mid;
  const std::array<double, kChunkFrames>* echoes = chain ? &arrays.echoes : nullptr;
  const InterleavedChunk& reflections = arrays.reflections;
  const bool figureEight = !WholeReads && tuning_.tankMode >= kFigureEightModeFrom && figureEight_.Ready();
  const bool wholeTankReads = tuning_.tankModInteger > 0.5;
  const bool highPass = tuning_.highPassHz > kHighPassOffBelowHz;
  const double c = sizeAmount_;
  const StereoFrame wetScale = BothChannels((0.3 * c * c + 0.7 * c) * tuning_.wetGain);
  const StereoFrame reflectionShare = BothChannels(tuning_.reflectionOut * 0.5);

  TankHalf& first = tank_[0];
  TankHalf& second = tank_[1];
  const StereoFrame readBase{first.baseDelay + kTankReadPad, second.baseDelay + kTankReadPad};
  const StereoFrame excursion{first.excursion * tuning_.tankMod, second.excursion * tuning_.tankMod};
  const StereoFrame g = BothChannels(combDamping_);
  const StereoFrame decay = BothChannels(smallTankDecay_);
  // output = w - g diffuserFed = (1 - g^2) (w - g decay read) + g^2 decay input.
  const StereoFrame shortcut = BothChannels(1.0 - combDamping_ * combDamping_);
  const StereoFrame gDecay = g * decay;
  const StereoFrame crossGain = g * gDecay;
  StereoFrame output{first.output, second.output};
  std::array<std::array<double, kChunkFrames>, 2>& sines = arrays.sines;
  tankSines_.Run(sines, frames);
  // The lines of both halves, each with its position in a local.
  std::array<double*, 2> allpass{first.allpass.samples.data(), second.allpass.samples.data()};
  std::array<double*, 2> decayLine{first.decay.samples.data(), second.decay.samples.data()};
  std::array<double*, 2> diffuser{first.diffuser.samples.data(), second.diffuser.samples.data()};
  const std::array<std::int32_t, 2> allpassLength{first.allpass.Length(), second.allpass.Length()};
  const std::array<std::int32_t, 2> decayLength{first.decay.Length(), second.decay.Length()};
  const std::array<std::int32_t, 2> diffuserLength{first.diffuser.Length(), second.diffuser.Length()};
  std::array<std::int32_t, 2> allpassAt{first.allpass.position, second.allpass.position};
  std::array<std::int32_t, 2> decayAt{first.decay.position, second.decay.position};
  std::array<std::int32_t, 2> diffuserAt{first.diffuser.position, second.diffuser.position};
  const auto advance = [](std::int32_t at, std::int32_t length) { return at + 1 == length ? 0 : at + 1; };

  StereoSection outputHighPass(outputHighPass_);
  StereoFrame dc{dcState_[0], dcState_[1]};
  // In locals, as the line stores could otherwise reach them and they would be loaded every frame.
  const StereoFrame keepDc = BothChannels(1.0 - dcCoef_);
  const StereoFrame takeDc = BothChannels(dcCoef_);
  const StereoFrame tankToWet = BothChannels(tuning_.tankToWet);
  std::array<StereoFrame, kChunkFrames>& out = arrays.out;
  // The allpass rings are a power of two long, so their positions wrap with a mask.
  static_assert((kTankAllpassLength & (kTankAllpassLength - 1)) == 0);
  constexpr std::int32_t kAllpassMask = kTankAllpassLength - 1;
  const auto count = static_cast<std::size_t>(frames);
  for (std::size_t f = 0; f < count;) {
    // With whole reads, in stretches within which no decay or diffuser position reaches its line's end.
    std::size_t stretchEnd = count;
    if constexpr (WholeReads) {
      for (std::size_t h = 0; h < 2; ++h) {
        stretchEnd = std::min(stretchEnd, f + static_cast<std::size_t>(decayLength[h] - decayAt[h]));
        stretchEnd = std::min(stretchEnd, f + static_cast<std::size_t>(diffuserLength[h] - diffuserAt[h]));
      }
    }
    for (; f < stretchEnd; ++f) {
      const StereoFrame input =
          StereoFrame{tankInputs[2 * f], tankInputs[2 * f + 1]} + StereoFrame{output[1], output[0]};
      const StereoFrame sine{sines[0][f], sines[1][f]};
      // Below the shortest read or NaN reads at the shortest (the maximum takes its second operand).
      const __m128d delay =
          _mm_min_pd(_mm_max_pd(readBase + excursion * (sine + 1.0) / 2.0, BothChannels(kShortestTankRead)),
                     BothChannels(kLongestTankRead));
      StereoFrame read;
      StereoFrame taps;
      StereoFrame w;
      if constexpr (WholeReads) {
        // Truncation: the delay is positive.
        const __m128i wholes = _mm_cvttpd_epi32(delay);
        const auto bothWholes = static_cast<std::uint64_t>(_mm_cvtsi128_si64(wholes));
        for (std::size_t h = 0; h < 2; ++h) {
          const std::int32_t index =
              (allpassAt[h] - static_cast<std::int32_t>(static_cast<std::uint32_t>(bothWholes >> (32 * h)))) &
              kAllpassMask;
          read[h] = allpass[h][index];
          taps[h] = decayLine[h][decayAt[h]];
          w[h] = diffuser[h][diffuserAt[h]];
        }
      } else {
        read = wholeTankReads ? StereoFrame{first.allpass.Tap(static_cast<std::int32_t>(delay[0])),
                                            second.allpass.Tap(static_cast<std::int32_t>(delay[1]))}
                              : StereoFrame{first.allpass.ReadCubic(delay[0]), second.allpass.ReadCubic(delay[1])};
        taps = StereoFrame{decayLine[0][decayAt[0]], decayLine[1][decayAt[1]]};
        w = StereoFrame{diffuser[0][diffuserAt[0]], diffuser[1][diffuserAt[1]]};
      }
      const StereoFrame fed = read * g + input;
      const StereoFrame decayed = (read - g * fed) * decay;
      const StereoFrame diffuserFed = decayed + g * w;
      // w - g diffuserFed, regrouped so that the previous frame's output reaches this one's through one
      // multiply and one add, and the recurrence no longer waits on the whole allpass chain.
      output = shortcut * (w - gDecay * read) + crossGain * input;
      for (std::size_t h = 0; h < 2; ++h) {
        allpass[h][allpassAt[h]] = fed[h];
        decayLine[h][decayAt[h]] = decayed[h];
        diffuser[h][diffuserAt[h]] = diffuserFed[h];
        if constexpr (WholeReads) {
          allpassAt[h] = (allpassAt[h] + 1) & kAllpassMask;
          ++decayAt[h];
          ++diffuserAt[h];
        } else {
          allpassAt[h] = advance(allpassAt[h], allpassLength[h]);
          // The general reads take their positions from the lines.
          (h == 0 ? first : second).allpass.position = allpassAt[h];
          decayAt[h] = advance(decayAt[h], decayLength[h]);
          diffuserAt[h] = advance(diffuserAt[h], diffuserLength[h]);
        }
      }

      if (figureEight) {
        const StereoSample tank =
            figureEight_.Process(mid[f], figureEightDecay_, tuning_.tankDamp, tuning_.tankModDepth);
        taps = BothChannels(kFigureEightGain) * StereoFrame{tank[0], tank[1]};
      }
      if (echoes != nullptr) {
        taps = tankToWet * taps + BothChannels((*echoes)[f]);
      }
      StereoFrame wet =
          reflectionShare * StereoFrame{reflections[2 * f], reflections[2 * f + 1]} + BothChannels(0.5) * taps;
      if (highPass) {
        wet = outputHighPass.Run(wet);
      }
      dc = keepDc * dc + takeDc * wet;
      out[f] = dry[f] + (wet - dc) * wetScale;
    }
    for (std::size_t h = 0; h < 2; ++h) {
      decayAt[h] = decayAt[h] == decayLength[h] ? 0 : decayAt[h];
      diffuserAt[h] = diffuserAt[h] == diffuserLength[h] ? 0 : diffuserAt[h];
    }
  }
  for (std::size_t h = 0; h < 2; ++h) {
    TankHalf& half = tank_[h];
    half.output = output[h];
    half.allpass.position = allpassAt[h];
    half.decay.position = decayAt[h];
    half.diffuser.position = diffuserAt[h];
  }
  outputHighPass.KeepStateIn(outputHighPass_);
  dcState_ = {dc[0], dc[1]};
  StoreFrames(out.data(), left, right, frames);
}

void PlateBlock::SkipFrames(std::int64_t frames) {
  combSines_.Skip(frames);
  tankSines_.Skip(frames);
  figureEight_.SkipFrames(frames);
}

void PlateBlock::Reset() {
  for (PreDelayLine& line : preDelay_) {
    line.Clear();
  }
  combLines_.Clear();
  combLowPass_ = {};
  combSmooth_ = {};
  inputDiffusers_.Clear();
  for (std::size_t h = 0; h < tank_.size(); ++h) {
    TankHalf& half = tank_[h];
    half.allpass.Clear();
    half.decay.Clear();
    half.diffuser.Clear();
    half.output = 0.0;
  }
  tankSines_.Start({0.0, 0.5});
  combSines_.Start(combSines_.Phases());
  figureEight_.Reset();
  ClearLines(chain_);
  chainFeedback_ = 0.0;
  reflectionDiffusers_.Clear();
  inputLowPass_.Clear();
  outputHighPass_.Clear();
  dcState_ = {};
}

void PlateBlock::Release() {
  for (PreDelayLine& line : preDelay_) {
    line.Release();
  }
  combLines_.Release();
  inputDiffusers_.Release();
  for (TankHalf& half : tank_) {
    half.allpass.Release();
    half.decay.Release();
    half.diffuser.Release();
  }
  figureEight_.Release();
  ReleaseLines(chain_);
  reflectionDiffusers_.Release();
}

}  // namespace tarnwell::dsp
