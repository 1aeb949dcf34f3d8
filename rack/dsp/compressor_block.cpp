#include "rack/dsp/compressor_block.h"

#include <algorithm>
#include <array>
#include <cmath>
#include <limits>

#include "rack/dsp/dsp_math.h"
#include "rack/dsp/dynamics_math.h"
#include "rack/dsp/fast_math.h"
#include "rack/dsp/stereo_fast_math.h"
#include "rack/dsp/stereo_frames.h"
#include "rack/dsp/stereo_tanh.h"

namespace tarnwell::dsp {

namespace {

constexpr double kAmountSmoothingSeconds = 0.03;
constexpr double kGainSmoothingSeconds = 0.005;
constexpr double kSlowMakeupSeconds = 0.1;
constexpr double kFastMakeupSeconds = 0.01;
constexpr double kSideChainLowPassHz = 10000.0;
constexpr double kSideChainQ = 0.707;
constexpr double kBypassBelowAmount = 0.001;
constexpr double kAmountMovingTolerance = 1e-8;
constexpr double kThresholdAtFullAmountDb = -54.0;
constexpr double kMakeupDb = 1.0;
// 20 / ln 10: dB per neper.
constexpr double kDbPerNeper = 8.685889638065037;
// A knee this narrow or narrower turns the compressor off; no character comes near it.
constexpr double kNarrowestKneeDb = 0.0001;
// Release exponents are at most 1 / (20 ms x 8 kHz) = 1/160 in size; short attacks take the general exp.
constexpr double kLargestNearZeroExponent = 1.0 / 128.0;
// The largest step of the envelope, relative to it, that moves its logarithm by a series.
constexpr double kLargestNearZeroStep = 1.0 / 128.0;
constexpr StereoBits kSignBits = {std::int64_t{1} << 63, std::int64_t{1} << 63};
constexpr double kAttackMinMs = 0.1;
constexpr double kAttackMaxMs = 100.0;
constexpr double kReleaseMinMs = 20.0;
constexpr double kReleaseMaxMs = 1000.0;

struct Character {
  double ratioBase;
  double kneeBaseDb;
  double saturation;
  double sideChainHighPassHz;
  // Release time in ms: releaseMsPerDb x |last gain change in dB| + releaseBaseMs.
  double releaseMsPerDb;
  double releaseBaseMs;
};

// The attack formulas live in AttackMs below.
constexpr std::array<Character, 4> kCharacters = {{
    {3.0, 12.0, 0.1, 80.0, 40.0, 100.0},
    {4.0, 6.0, 0.05, 60.0, 50.0, 50.0},
    {6.0, 3.0, 0.2, 100.0, 2.0, 80.0},
    {2.5, 18.0, 0.15, 50.0, 50.0, 200.0},
}};

int ClampCharacter(std::int32_t character) {
  return std::clamp(character, 0, static_cast<std::int32_t>(kCharacters.size()) - 1);
}

template <int C>
double AttackMs(double amount, double overDb) {
  if constexpr (C == 0) {
    return 50.0 - overDb;
  } else if constexpr (C == 1) {
    return (1.0 - amount) * 10.0 + 1.0;
  } else if constexpr (C == 2) {
    return (1.0 - amount) * 5.0 + 0.5;
  } else {
    return 50.0 - 0.5 * overDb;
  }
}

template <int C>
double ShapeGainChange(double changeDb) {
  if constexpr (C == 2) {
    return changeDb * (1.0 + 0.01 * std::fabs(changeDb));
  } else if constexpr (C == 3) {
    return changeDb * 0.925;
  } else {
    return changeDb;
  }
}

// The polynomial shapers are unbounded on purpose; the smoothed gain keeps them in range on vocals.
// Both channels at once.
template <int C>
StereoFrame Saturate(StereoFrame x, double drive) {
  if constexpr (C == 0) {
    return BothChannels(0.9) * x + BothChannels(0.1 * drive) * StereoTanh(BothChannels(1.0 + 0.3 * drive) * x);
  } else if constexpr (C == 1) {
    return x * (BothChannels(1.0) + BothChannels(0.05 * drive) * FramesFromBits(ChannelBits(x) & ~kSignBits));
  } else if constexpr (C == 2) {
    const StereoFrame x2 = x * x;
    return x - BothChannels(0.15 * drive) * x2 * x + BothChannels(0.05 * drive) * x2 * x2 * x;
  } else {
    const StereoFrame sign = SelectChannels(x < 0.0, BothChannels(-1.0), BothChannels(1.0));
    const StereoFrame x2 = x * x;
    return x + BothChannels(0.08 * drive) * sign * x2 - BothChannels(0.02 * drive) * x2 * x2;
  }
}

// Out of the loop's way: a call there would spill the loop's state around it on every frame.
[[gnu::noinline]] double StepShareOfShortTime(double exponent) { return 1.0 - FastExp(exponent); }

// The share of the way to its target that a one-pole with a time constant of `samples` samples
// moves in one: 1 - e^(-1 / samples).
inline double StepShare(double samples) {
  const double exponent = -1.0 / samples;
  if (exponent >= -kLargestNearZeroExponent) [[likely]] {
    return -ExpMinusOneNearZero(exponent);
  }
  return StepShareOfShortTime(exponent);
}

}  // namespace

void CompressorBlock::Prepare(double sampleRate) {
  sampleRate_ = sampleRate;
  amountCoefficient_ = OnePoleCoefficient(kAmountSmoothingSeconds, sampleRate);
  amountStepFrames_ = 0;
  amountStep_ = 1.0;
  gainCoefficient_ = OnePoleCoefficient(kGainSmoothingSeconds, sampleRate);
  slowMakeupCoefficient_ = OnePoleCoefficient(kSlowMakeupSeconds, sampleRate);
  fastMakeupCoefficient_ = OnePoleCoefficient(kFastMakeupSeconds, sampleRate);
  DesignLowPass(sideChainLowPass_, sampleRate, kSideChainLowPassHz, kSideChainQ);
  DesignSideChainHighPass();
  Reset();
}

void CompressorBlock::SetCharacter(std::int32_t character) {
  if (character != character_) {
    character_ = character;
    DesignSideChainHighPass();
  }
}

void CompressorBlock::DesignSideChainHighPass() {
  const Character& row = kCharacters[static_cast<std::size_t>(ClampCharacter(character_))];
  DesignHighPass(sideChainHighPass_, sampleRate_, row.sideChainHighPassHz, kSideChainQ);
}

void CompressorBlock::Process(double* left, double* right, std::int32_t frames) {
  if (frames != amountStepFrames_) {
    amountStepFrames_ = frames;
    amountStep_ = std::pow(amountCoefficient_, frames);
  }
  amount_ = SmoothTowards(amount_, amountTarget_, amountStep_);
  amountMoving_ = std::fabs(amount_ - amountTarget_) > kAmountMovingTolerance;
  if (amount_ < kBypassBelowAmount) {
    return;
  }

  const int character = ClampCharacter(character_);
  if (amount_ != shape_.amount || character != shape_.character) {
    UpdateShape(character);
  }
  switch (character) {
    case 0:
      ProcessFrames<0>(left, right, frames);
      break;
    case 1:
      ProcessFrames<1>(left, right, frames);
      break;
    case 2:
      ProcessFrames<2>(left, right, frames);
      break;
    default:
      ProcessFrames<3>(left, right, frames);
      break;
  }
}

void CompressorBlock::UpdateShape(int character) {
  const Character& row = kCharacters[static_cast<std::size_t>(character)];
  const double a = amount_;
  const double ratio = (1.5 * row.ratioBase - 1.0) * a + 1.0;
  const double kneeDb = (1.0 - 0.3 * a) * row.kneeBaseDb;
  const bool knee = kneeDb > kNarrowestKneeDb;
  shape_.amount = a;
  shape_.character = character;
  shape_.thresholdDb = kThresholdAtFullAmountDb * a;
  shape_.inverseRatio = 1.0 / ratio;
  shape_.halfKneeDb = kneeDb / 2.0;
  shape_.kneeCurve = knee ? (1.0 / ratio - 1.0) / (2.0 * kneeDb) : 0.0;
  shape_.kneeFootLevel = knee ? DbToGain(shape_.thresholdDb - kneeDb / 2.0) : std::numeric_limits<double>::infinity();
  shape_.thresholdLevel = DbToGain(shape_.thresholdDb);
  shape_.drive = row.saturation * a * (a + 1.0);
  shape_.saturate = row.saturation >= 0.001 && a >= 0.01;
}

// Chunk by chunk. First the envelope's recurrence, frame by frame: its release time follows its last
// gain change, so each frame waits on a division, an exponential and a logarithm of the frame before,
// all inline and kept short; the side chain, the attack times and the make-up smoother run in its
// shadow. Then the powers of ten, the gain smoother and the output, stage by stage.
template <int Character>
void CompressorBlock::ProcessFrames(double* left, double* right, std::int32_t frames) {
  const Shape& shape = shape_;
  Biquad highPass = sideChainHighPass_;
  Biquad lowPass = sideChainLowPass_;
  double envelope = envelope_;
  double lastChangeDb = lastGainChangeDb_;
  double smoothedGain = smoothedGain_;
  double smoothedMakeupDb = smoothedMakeupDb_;
  const double samplesPerMs = sampleRate_ * 0.001;
  const double gainCoefficient = gainCoefficient_;
  const double makeupCoefficient = amountMoving_ ? fastMakeupCoefficient_ : slowMakeupCoefficient_;
  const StereoFrame dbToNepers = BothChannels(fast_math_detail::kLn10 / 20.0);
  // Characters 1 and 2 attack at a time the amount alone sets.
  const double steadyAttackShare =
      StepShare(std::clamp(AttackMs<Character>(shape.amount, 0.0), kAttackMinMs, kAttackMaxMs) * samplesPerMs);

  // The release time in samples follows the gain change P <= 0 as base - slope P, clamped. In the
  // knee P is a quadratic of the level in dB and above it a line, so there the time is taken
  // straight from log(envelope): a shorter wait for the next frame than through P.
  const double releaseSlope = kCharacters[Character].releaseMsPerDb * samplesPerMs;
  const double releaseBase = kCharacters[Character].releaseBaseMs * samplesPerMs;
  const double shortestRelease = kReleaseMinMs * samplesPerMs;
  const double longestRelease = kReleaseMaxMs * samplesPerMs;
  const double aboveKneeSlope = -releaseSlope * (shape.inverseRatio - 1.0) * kDbPerNeper;
  const double aboveKneeBase = releaseBase + releaseSlope * (shape.inverseRatio - 1.0) * shape.thresholdDb;
  const double kneeSlope = -releaseSlope * shape.kneeCurve;
  const double kneeFootDb = shape.thresholdDb - shape.halfKneeDb;
  const double kneeTopDb = shape.thresholdDb + shape.halfKneeDb;
  const double restingRelease = std::clamp(releaseBase, shortestRelease, longestRelease);
  double releaseSamples =
      std::clamp(releaseSlope * std::fabs(lastChangeDb) + releaseBase, shortestRelease, longestRelease);
  // log(envelope) while the envelope is above the knee's foot: moved by log1p of the envelope's
  // small relative steps, which costs less than a logarithm, taken afresh after a large one and at
  // every block start.
  double logEnvelope = envelope > shape.kneeFootLevel ? FastLog(envelope) : 0.0;

  std::array<StereoFrame, kStereoChunkFrames> gains;
  for (std::int32_t start = 0; start < frames; start += kStereoChunkFrames) {
    const std::int32_t count = std::min(kStereoChunkFrames, frames - start);
    double* chunkLeft = left + start;
    double* chunkRight = right + start;
    for (std::int32_t i = 0; i < count; ++i) {
      const double level = std::fabs(lowPass.Run(highPass.Run((chunkLeft[i] + chunkRight[i]) / 2.0)));
      // The share of the way to the level the envelope moves this frame: 1 - e^(-1 / samples).
      double share;
      if (level > envelope) {
        share = steadyAttackShare;
        if constexpr (Character == 0 || Character == 3) {
          const double overDb = level > shape.thresholdLevel ? FastLog(level) * kDbPerNeper - shape.thresholdDb : 0.0;
          share = StepShare(std::clamp(AttackMs<Character>(shape.amount, overDb), kAttackMinMs, kAttackMaxMs) *
                            samplesPerMs);
        }
      } else {
        share = StepShare(releaseSamples);
      }
      const double previous = envelope;
      const double ratio = level / previous;
      envelope += share * (level - envelope);

      lastChangeDb = 0.0;
      releaseSamples = restingRelease;
      if (envelope > shape.kneeFootLevel) {
        // The envelope's relative step. Falling, an envelope above the foot was above it the
        // frame before too, and the step is at most 1/160 of it; rising, it is small but for
        // short attacks on steep onsets, and from below the foot there is no logarithm to move.
        const double step = share * (ratio - 1.0);
        logEnvelope = previous > shape.kneeFootLevel && step <= kLargestNearZeroStep ? logEnvelope + Log1pNearZero(step)
                                                                                     : FastLog(envelope);
        const double levelDb = logEnvelope * kDbPerNeper;
        if (levelDb > kneeTopDb) {
          lastChangeDb = (levelDb - shape.thresholdDb) * (shape.inverseRatio - 1.0);
          releaseSamples = aboveKneeSlope * logEnvelope + aboveKneeBase;
        } else if (levelDb >= kneeFootDb) {
          const double into = levelDb - kneeFootDb;
          lastChangeDb = shape.kneeCurve * into * into;
          releaseSamples = kneeSlope * into * into + releaseBase;
        }
        releaseSamples = std::clamp(releaseSamples, shortestRelease, longestRelease);
      }
      const double changeDb = ShapeGainChange<Character>(lastChangeDb);
      smoothedMakeupDb = SmoothTowards(smoothedMakeupDb, changeDb, makeupCoefficient);
      // Both powers of ten of the frame, in dB: the gain change and the make-up.
      gains[static_cast<std::size_t>(i)] = StereoFrame{changeDb, kMakeupDb - smoothedMakeupDb};
    }

    // Stage by stage over the chunk, so that the exponentials and the shapers of many frames
    // overlap instead of waiting on the smoothers.
    for (std::int32_t i = 0; i < count; ++i) {
      gains[static_cast<std::size_t>(i)] = StereoExp(gains[static_cast<std::size_t>(i)] * dbToNepers);
    }
    for (std::int32_t i = 0; i < count; ++i) {
      StereoFrame& frameGains = gains[static_cast<std::size_t>(i)];
      smoothedGain = SmoothTowards(smoothedGain, frameGains[0], gainCoefficient);
      frameGains[0] = smoothedGain;
    }
    for (std::int32_t i = 0; i < count; ++i) {
      const StereoFrame frameGains = gains[static_cast<std::size_t>(i)];
      StereoFrame out = StereoFrame{chunkLeft[i], chunkRight[i]} * BothChannels(frameGains[0]);
      if (shape.saturate) {
        out = Saturate<Character>(out, shape.drive);
      }
      out *= BothChannels(frameGains[1]);
      chunkRight[i] = out[1];
      chunkLeft[i] = out[0];
    }
  }

  sideChainHighPass_ = highPass;
  sideChainLowPass_ = lowPass;
  envelope_ = envelope;
  lastGainChangeDb_ = lastChangeDb;
  smoothedGain_ = smoothedGain;
  smoothedMakeupDb_ = smoothedMakeupDb;
}

void CompressorBlock::Reset() {
  sideChainHighPass_.Clear();
  sideChainLowPass_.Clear();
  envelope_ = 0.0;
  lastGainChangeDb_ = 0.0;
  smoothedGain_ = 1.0;
  smoothedMakeupDb_ = 0.0;
}

}  // namespace tarnwell::dsp
