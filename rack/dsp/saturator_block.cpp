#include "rack/dsp/saturator_block.h"

#include <algorithm>
#include <bit>
#include <utility>
#include <cmath>

#include "rack/dsp/block_tunings.h"
#include "rack/dsp/clamp_unit.h"
#include "rack/dsp/dsp_math.h"
#include "rack/dsp/stereo_fast_math.h"
#include "rack/dsp/stereo_frames.h"

namespace tarnwell::dsp {

namespace {

constexpr std::int32_t kExponentialMode = 1;
constexpr std::int32_t kHighestCharacter = 7;
constexpr double kDefaultBias = 0.3783;
constexpr double kDefaultBiasSlope = 0.0;
constexpr double kOutputGainScale = 0.3124;
// Mode-1 drive and output scale in dB: offset plus slope times the amount.
constexpr double kDriveDbAtZero = -21.7;
constexpr double kDriveDbPerAmount = 40.0;
constexpr double kScaleDbAtZero = 21.7;
constexpr double kScaleDbPerAmount = -20.0;
constexpr double kDriveCurveExponent = 2.2;
// The wet share reaches 1 at this smoothed amount.
constexpr double kFullWetAmount = 0.1;

constexpr double kLevelSeconds = 0.05;
constexpr double kSmoothSeconds = 0.01;
constexpr double kPowerSeconds = 0.003;
constexpr double kFadeSeconds = 0.01;

constexpr double kPostLowPass1Hz = 17015.0;
constexpr double kPostLowPass1Q = 0.691;
constexpr double kPostLowPass2Hz = 20256.0;
constexpr double kPostLowPass2Q = 0.341;
constexpr double kHighestPostShareOfRate = 0.49;
constexpr double kInputHighPassFloorHz = 20.0;
constexpr double kButterworthQ = 0.707;
constexpr double kOversamplingShareOfRate = 0.45;
constexpr double kLowSplitHz = 105.0;
constexpr double kHighSplitHz = 1720.0;
constexpr double kLowBandScale = 0.1679;
constexpr double kHighBandScale = 0.1778;

constexpr double kDcKeep = 0.9995;
constexpr double kDcTake = 0.0005;
constexpr double kLevelMatchMin = 1.0 / 64.0;
constexpr double kLevelMatchMax = 8.0;
constexpr double kPowerFloor = 1e-12;
constexpr double kEnvelopeFloor = 1e-9;
constexpr double kSqrt2 = 1.4142135623730951;

struct CharacterShape {
  double driveMax;
  double shapeGain;
  double shapeQ;
};

constexpr std::array<CharacterShape, 8> kCharacters = {{
    {10.0, 1.0, 0.35},
    {5.0, 1.0, 0.12},
    {16.0, 1.0, 0.2},
    {40.0, 1.0, 0.1},
    {6.0, 0.7, 0.4},
    {3.5, 0.7, 0.15},
    {10.0, 0.55, 0.25},
    {10.0, 0.55, 0.12},
}};

double SmoothStep(double t) { return (3.0 - 2.0 * t) * t * t; }

bool IsSet(double override) { return override > SaturatorTuning::kOverrideUnsetBelow; }

// The mode-1 gain that brings the envelope's peak level down to 1 at most, per lane.
StereoFrame EnvelopeNormaliser(StereoFrame envelope) {
  const StereoFrame zero = BothChannels(0.0);
  const StereoFrame one = BothChannels(1.0);
  // As std::max(0, envelope) and std::min(1, level) choose, NaN included.
  const StereoFrame level = StereoSqrt(SelectChannels(zero < envelope, envelope, zero)) * BothChannels(kSqrt2);
  return SelectChannels(level > BothChannels(kEnvelopeFloor), SelectChannels(level < one, level, one) / level, one);
}

// Asymmetric exponential saturation of mode 1 and of the split band, on both channels at once.
StereoFrame StereoExponential(StereoFrame x) {
  // Multiplied by the reciprocals: a division costs several multiplications, and this runs four to
  // eight times a frame. Each lane picks its side's constants, without a branch; -x k and x (-k) are
  // the same number.
  constexpr double kInversePositiveKnee = 1.0 / 0.09264;
  constexpr double kInverseNegativeKnee = 1.0 / 0.10889;
  const StereoBits positive = x >= BothChannels(0.0);
  const StereoFrame scale = SelectChannels(positive, BothChannels(0.30959), BothChannels(-0.33339));
  const StereoFrame rate =
      SelectChannels(positive, BothChannels(-kInversePositiveKnee), BothChannels(kInverseNegativeKnee));
  return scale * (BothChannels(1.0) - StereoExp(x * rate));
}

[[gnu::always_inline]] inline double Curve(double x, double upper, double lower) {
  if (x > upper) {
    const double over = x - upper;
    return upper + (1.0 - upper) * (1.0 - TableExp(-3.0 * over)) + 0.04 * (1.0 - TableExp(-0.45 * over));
  }
  if (x < -lower) {
    return -lower - (1.0 - lower) * (1.0 - TableExp(-3.0 * (-x - lower)));
  }
  return x;
}

// `take` is 1 less the follower's coefficient.
void Follow(double& state, double value, double take) { state += (value - state) * take; }

// Mode-1 level of a path: the smoothed power as a peak level, capped at 1; per channel.
StereoFrame StereoPathLevel(StereoFrame power) {
  const StereoFrame zero = BothChannels(0.0);
  const StereoFrame one = BothChannels(1.0);
  // As std::max(0, power) and std::min(1, level) choose, NaN included.
  const StereoFrame level = StereoSqrt(BothChannels(2.0) * SelectChannels(zero < power, power, zero));
  return SelectChannels(level < one, level, one);
}

// One value per frame as the state glides to the target. A step that leaves the state's bits as
// they were would leave them so for good, so the rest is filled without the recurrence.
void Glide(double& state, double target, double coefficient, double* values, std::int32_t frames) {
  for (std::int32_t i = 0; i < frames; ++i) {
    const double next = SmoothTowards(state, target, coefficient);
    if (std::bit_cast<std::uint64_t>(next) == std::bit_cast<std::uint64_t>(state)) {
      std::fill(values + i, values + frames, state);
      return;
    }
    state = next;
    values[i] = state;
  }
}

// A chain's sections held in locals through a loop that does other work besides: a short cascade
// waits on its own recurrence, and the rest of the loop fills that wait.
template <std::size_t N>
class LocalChain {
 public:
  explicit LocalChain(std::array<StereoBiquad, N>& chain)
      : chain_(chain), sections_([&]<std::size_t... k>(std::index_sequence<k...>) {
          return std::array<StereoSection, N>{StereoSection(chain[k])...};
        }(std::make_index_sequence<N>{})) {}

  StereoFrame Run(StereoFrame x) {
    for (StereoSection& section : sections_) {
      x = section.Run(x);
    }
    return x;
  }

  void KeepStates() const {
    for (std::size_t k = 0; k < N; ++k) {
      sections_[k].KeepStateIn(chain_[k]);
    }
  }

 private:
  std::array<StereoBiquad, N>& chain_;
  std::array<StereoSection, N> sections_;
};

}  // namespace

void SaturatorTuning::Read(const TuningEnvironment& environment) {
  environment.ReadInteger("TARNWELL_SAT", mode);
  environment.ReadReal("TARNWELL_SAT_DRIVE_DB", driveDbOverride);
  environment.ReadReal("TARNWELL_SAT_SCALE", scaleDbOverride);
  environment.ReadReal("TARNWELL_SAT_BIAS", biasOverride);
  environment.ReadReal("TARNWELL_SAT_BIASQ", biasSlopeOverride);
}

struct SaturatorBlock::BlockSettings {
  double amount;
  double driveTarget;
  double bias;
  double biasSlope;
  double modeOneGain;
  double trimGain;
  bool modeOne;
  bool useHighPass;
  bool split;
};

struct SaturatorBlock::FrameWeights {
  double wet;
  double characterMix;
  double amount;
  double drive;
  double normaliser;
};

void SaturatorBlock::Prepare(const BayPrepareContext& context) {
  Prepare(context.sampleRate, context.blockTunings.saturator);
}

void SaturatorBlock::Prepare(double sampleRate, const SaturatorTuning& tuning) {
  sampleRate_ = sampleRate;
  tuning_ = tuning;
  UpdateCoefficients();
  // The crossover corners depend on the rate, so a new rate always redesigns them.
  splitMode_ = -1;
  UpdateFilters();
  levelCoef_ = OnePoleCoefficient(kLevelSeconds, sampleRate);
  smoothCoef_ = OnePoleCoefficient(kSmoothSeconds, sampleRate);
  powerCoef_ = OnePoleCoefficient(kPowerSeconds, sampleRate);
  characterFadeStep_ = 1.0 / std::max(1.0, kFadeSeconds * sampleRate);
  dcState_ = {};
}

void SaturatorBlock::SetCharacter(std::int32_t character) {
  const std::int32_t wanted = std::clamp(character, 0, kHighestCharacter);
  const std::int32_t held = character_ > kHighestCharacter ? 0 : character_;
  if (wanted != held) {
    characterFade_ = 0.0;
    previousCharacter_ = held;
  }
  character_ = wanted;
}

void SaturatorBlock::UpdateCoefficients() {
  if (sampleRate_ == designedRate_ && inputHighPassHz_ == designedHighPassHz_) {
    return;
  }
  designedRate_ = sampleRate_;
  designedHighPassHz_ = inputHighPassHz_;
  Biquad design;
  const double highestPost = kHighestPostShareOfRate * sampleRate_;
  DesignLowPass(design, sampleRate_, std::min(highestPost, kPostLowPass1Hz), kPostLowPass1Q);
  postLowPass1_.SetCoefficients(design);
  DesignLowPass(design, sampleRate_, std::min(highestPost, kPostLowPass2Hz), kPostLowPass2Q);
  postLowPass2_.SetCoefficients(design);
  if (inputHighPassHz_ > kInputHighPassFloorHz) {
    DesignHighPass(design, sampleRate_, inputHighPassHz_, kButterworthQ);
  } else {
    DesignPeak(design, sampleRate_, kInputHighPassFloorHz, kButterworthQ, 0.0);
  }
  inputHighPass_.SetCoefficients(design);
  DesignLowPass(design, 2.0 * sampleRate_, kOversamplingShareOfRate * sampleRate_, kButterworthQ);
  for (auto* bank : {&upsampler_, &downsampler_, &bandUpsampler_, &bandDownsampler_}) {
    for (StereoBiquad& stage : *bank) {
      stage.SetCoefficients(design);
    }
  }
}

void SaturatorBlock::UpdateFilters() {
  const std::int32_t mode = (character_ >= 0 && character_ <= 2) ? character_ : 1;
  if (mode == splitMode_) {
    return;
  }
  splitMode_ = mode;
  splitFade_ = 0.0;
  splitFadeStep_ = 1.0 / std::max(1.0, kFadeSeconds * sampleRate_);
  Biquad design;
  if (mode == 0) {
    DesignLowPass(design, sampleRate_, std::min(kOversamplingShareOfRate * sampleRate_, kLowSplitHz), kButterworthQ);
  } else if (mode == 2) {
    DesignHighPass(design, sampleRate_, std::min(kOversamplingShareOfRate * sampleRate_, kHighSplitHz), kButterworthQ);
  }
  for (StereoBiquad& stage : crossover_) {
    stage.SetCoefficients(design);
    stage.Clear();
  }
}

// The curve's offsets at the input and the output, which depend on the frame's weights alone.
struct SaturatorBlock::CurveOffsets {
  double input = 0.0;
  double output = 0.0;
};

SaturatorBlock::CurveOffsets SaturatorBlock::OffsetsFor(std::int32_t character, const FrameWeights& weights) const {
  const CharacterShape& shape = kCharacters[static_cast<std::size_t>(character)];
  const double v = weights.amount;
  const double g = shape.shapeGain;
  const double q = shape.shapeQ;
  switch (character % 4) {
    case 1:
    case 2:
      return {};
    case 3: {
      const double h = 0.7 - 0.2 * v;
      const double upper = (1.0 - v * q) * h;
      const double lower = (1.0 + v * q) * h;
      const double gain = (8.0 * v + 1.0) * g;
      const double offset = 0.22 * v * weights.drive * q * gain;
      return {offset, Curve(offset, upper, lower)};
    }
    default: {
      const double p = (4.0 * v + 1.5) * g;
      const double s = v * q;
      const double z = FastTanh(0.8 * p * s);
      return {s, z + 0.05 * v * z * z};
    }
  }
}

double SaturatorBlock::Shape(std::int32_t character, double k, const FrameWeights& weights,
                             const CurveOffsets& offsets) const {
  const CharacterShape& shape = kCharacters[static_cast<std::size_t>(character)];
  const double v = weights.amount;
  const double g = shape.shapeGain;
  const double q = shape.shapeQ;
  switch (character % 4) {
    case 1: {
      const double t = (3.5 * v + 1.0) * g * k;
      const double r = k / FastPow(FastPow(std::fabs(t), 2.5) + 1.0, 0.4);
      return 0.3 * FastTanh(0.6 * t) + 0.7 * ((1.0 - 0.15 * v * r * r) * r + v * q * r * r);
    }
    case 2: {
      double t = (5.0 * v + 1.0) * g * k;
      const double t2 = t * t;
      t = t - t2 * t / 3.0 + 0.2 * v * t2 * t2 * t;
      return t > 0.0 ? 0.95 * FastTanh(1.1 * t) : 0.95 * FastTanh(0.9 * t);
    }
    case 3: {
      const double h = 0.7 - 0.2 * v;
      const double upper = (1.0 - v * q) * h;
      const double lower = (1.0 + v * q) * h;
      const double gain = (8.0 * v + 1.0) * g;
      return Curve(gain * k + offsets.input, upper, lower) - offsets.output;
    }
    default: {
      const double p = (4.0 * v + 1.5) * g;
      const double w = offsets.input + k;
      const double y = w >= 0.0 ? FastTanh(0.8 * p * w) : -0.95 * FastTanh(-1.4 * p * w);
      return y - offsets.output;
    }
  }
}

struct SaturatorBlock::Chunk {
  std::int32_t frames = 0;
  // The raw input, which the mode-1 envelope follows.
  const double* left = nullptr;
  const double* right = nullptr;
  std::array<double, kStereoChunkFrames> drive;
  std::array<double, kStereoChunkFrames> amount;
  std::array<double, kStereoChunkFrames> characterMix;
  // The mode-1 envelope's gain, which the split band's shaper also takes.
  std::array<double, kStereoChunkFrames> normaliser;
  // The input after the optional high-pass: the level the character modes match.
  std::array<StereoFrame, kStereoChunkFrames> dry;
  // The driven main path, then the block's output.
  std::array<StereoFrame, kStereoChunkFrames> main;
  std::array<StereoFrame, 2 * kStereoChunkFrames> fastMain;
  std::array<StereoFrame, 2 * kStereoChunkFrames> fastBand;
  // Each path's shaper offset, set by its level.
  std::array<StereoFrame, kStereoChunkFrames> mainOffset;
  std::array<StereoFrame, kStereoChunkFrames> bandOffset;
  // The shared input power as it stood after each channel's update.
  std::array<StereoFrame, kStereoChunkFrames> inputPower;
};

void SaturatorBlock::StepWeights(Chunk& chunk, const BlockSettings& settings) {
  const std::int32_t frames = chunk.frames;
  Glide(smoothDrive_, settings.driveTarget, smoothCoef_, chunk.drive.data(), frames);
  Glide(smoothAmount_, settings.amount, smoothCoef_, chunk.amount.data(), frames);
  // A finished fade stays finished, and SmoothStep(1) is 1.
  if (characterFade_ == 1.0) {
    std::fill_n(chunk.characterMix.begin(), frames, 1.0);
    return;
  }
  for (std::int32_t i = 0; i < frames; ++i) {
    chunk.characterMix[static_cast<std::size_t>(i)] = SmoothStep(characterFade_);
    characterFade_ = std::min(1.0, characterFade_ + characterFadeStep_);
  }
}

void SaturatorBlock::FollowAndUpsample(Chunk& chunk, const BlockSettings& settings) {
  const std::int32_t frames = chunk.frames;
  // The followers and the upsamplers: short recurrences that overlap one another. The per-frame work
  // that hangs off the followers comes after, where it would not delay them.
  std::array<double, kStereoChunkFrames> envelope;
  std::array<StereoFrame, kStereoChunkFrames> bandPower;
  std::array<StereoFrame, kStereoChunkFrames> mainPower;
  // The split fade moves once per channel, left first, whether a band is split off or not; once
  // done it stays at 1, which passes the band unchanged.
  const bool fading = splitFade_ != 1.0;
  if (!settings.split) {
    for (std::int32_t i = 0; i < 2 * frames && splitFade_ != 1.0; ++i) {
      splitFade_ = std::min(1.0, splitFade_ + splitFadeStep_);
    }
  }
  LocalChain crossover(crossover_);
  LocalChain up(upsampler_);
  LocalChain bandUp(bandUpsampler_);
  // The followers in locals too: stores to the chunk could otherwise alias the members, which would
  // put a store and a load into each step of their recurrences.
  double envelopeState = envelope_;
  double bandPowerState = bandPower_;
  double mainPowerState = mainPower_;
  double inputPowerState = inputPower_;
  const double powerTake = 1.0 - powerCoef_;
  const double levelTake = 1.0 - levelCoef_;
  for (std::int32_t i = 0; i < frames; ++i) {
    const auto f = static_cast<std::size_t>(i);
    StereoFrame band{};
    if (settings.split) {
      band = crossover.Run(chunk.main[f]);
      for (int c = 0; fading && c < 2; ++c) {
        splitFade_ = std::min(1.0, splitFade_ + splitFadeStep_);
        band[c] *= SmoothStep(splitFade_);
      }
      chunk.main[f] -= band;
    }
    // Zero-stuffed to twice the rate.
    chunk.fastMain[2 * f] = up.Run(chunk.main[f]);
    chunk.fastMain[2 * f + 1] = up.Run(StereoFrame{});
    if (settings.split) {
      chunk.fastBand[2 * f] = bandUp.Run(band);
      chunk.fastBand[2 * f + 1] = bandUp.Run(StereoFrame{});
    }
    if (settings.modeOne) {
      const double g = chunk.drive[f];
      const double inLeft = chunk.left[i];
      const double inRight = chunk.right[i];
      const double peakPower = std::max((g * inLeft) * (g * inLeft), (g * inRight) * (g * inRight));
      Follow(envelopeState, peakPower, powerTake);
    }
    envelope[f] = envelopeState;
    // The shared powers move once per channel, left first.
    for (int c = 0; c < 2; ++c) {
      const double main = chunk.main[f][c];
      const double dry = chunk.dry[f][c];
      Follow(bandPowerState, band[c] * band[c], powerTake);
      Follow(mainPowerState, main * main, powerTake);
      Follow(inputPowerState, dry * dry, levelTake);
      bandPower[f][c] = bandPowerState;
      mainPower[f][c] = mainPowerState;
      chunk.inputPower[f][c] = inputPowerState;
    }
  }
  envelope_ = envelopeState;
  bandPower_ = bandPowerState;
  mainPower_ = mainPowerState;
  inputPower_ = inputPowerState;
  crossover.KeepStates();
  up.KeepStates();
  bandUp.KeepStates();
  const double bandScale = splitMode_ == 2 ? kHighBandScale : kLowBandScale;
  // Two frames' envelopes at a time, one per lane; a lone last frame takes the first lane.
  for (std::int32_t i = 0; i < frames; i += 2) {
    const auto f = static_cast<std::size_t>(i);
    const bool pair = i + 1 < frames;
    const StereoFrame normalisers = EnvelopeNormaliser(StereoFrame{envelope[f], pair ? envelope[f + 1] : 0.0});
    chunk.normaliser[f] = normalisers[0];
    if (pair) {
      chunk.normaliser[f + 1] = normalisers[1];
    }
  }
  for (std::int32_t i = 0; i < frames; ++i) {
    const auto f = static_cast<std::size_t>(i);
    const double normaliser = chunk.normaliser[f];
    if (settings.split) {
      const StereoFrame l = StereoPathLevel(bandPower[f]) * BothChannels(bandScale);
      chunk.bandOffset[f] = BothChannels(settings.bias) * l * l + BothChannels(settings.biasSlope) * l;
    }
    if (settings.modeOne) {
      const StereoFrame e = StereoPathLevel(mainPower[f]) * BothChannels(normaliser);
      chunk.mainOffset[f] = BothChannels(settings.bias) * e * e + BothChannels(settings.biasSlope) * e;
    }
  }
}

void SaturatorBlock::ShapeMainPath(Chunk& chunk, const BlockSettings& settings) {
  if (settings.modeOne) {
    for (std::size_t f = 0; f < static_cast<std::size_t>(chunk.frames); ++f) {
      const StereoFrame normaliser = BothChannels(chunk.normaliser[f]);
      for (StereoFrame* u : {&chunk.fastMain[2 * f], &chunk.fastMain[2 * f + 1]}) {
        *u = StereoExponential(normaliser * (BothChannels(2.0) * *u) - chunk.mainOffset[f]);
      }
    }
    return;
  }
  for (std::size_t f = 0; f < static_cast<std::size_t>(chunk.frames); ++f) {
    const FrameWeights weights{SmoothStep(std::min(1.0, chunk.amount[f] / kFullWetAmount)), chunk.characterMix[f],
                               chunk.amount[f], chunk.drive[f], chunk.normaliser[f]};
    const CurveOffsets offsets = OffsetsFor(character_, weights);
    const CurveOffsets previousOffsets =
        weights.characterMix < 1.0 ? OffsetsFor(previousCharacter_, weights) : CurveOffsets{};
    for (StereoFrame* u : {&chunk.fastMain[2 * f], &chunk.fastMain[2 * f + 1]}) {
      *u = ShapeCharacters(BothChannels(2.0) * *u, weights, offsets, previousOffsets);
    }
  }
}

void SaturatorBlock::ShapeBandPath(Chunk& chunk) {
  const double bandScale = splitMode_ == 2 ? kHighBandScale : kLowBandScale;
  const StereoFrame scale = BothChannels(bandScale);
  const StereoFrame inverseScale = BothChannels(1.0 / bandScale);
  for (std::size_t f = 0; f < static_cast<std::size_t>(chunk.frames); ++f) {
    const StereoFrame normaliser = BothChannels(chunk.normaliser[f]);
    for (StereoFrame* b : {&chunk.fastBand[2 * f], &chunk.fastBand[2 * f + 1]}) {
      *b = StereoExponential(BothChannels(2.0) * *b * normaliser * scale - chunk.bandOffset[f]) * inverseScale;
    }
  }
}

StereoFrame SaturatorBlock::ShapeCharacters(StereoFrame k, const FrameWeights& weights, const CurveOffsets& offsets,
                                            const CurveOffsets& previousOffsets) const {
  StereoFrame shaped;
  for (int c = 0; c < 2; ++c) {
    double y = Shape(character_, k[c], weights, offsets);
    if (weights.characterMix < 1.0) {
      const double previous = Shape(previousCharacter_, k[c], weights, previousOffsets);
      y = (1.0 - weights.characterMix) * previous + weights.characterMix * y;
    }
    shaped[c] = (1.0 - weights.wet) * k[c] + weights.wet * y;
  }
  return shaped;
}

void SaturatorBlock::DownsampleAndMatch(Chunk& chunk, const BlockSettings& settings) {
  const std::int32_t frames = chunk.frames;
  std::array<StereoFrame, kStereoChunkFrames> outputPower;
  StereoFrame dc{dcState_[0], dcState_[1]};
  LocalChain down(downsampler_);
  LocalChain bandDown(bandDownsampler_);
  double outputPowerState = outputPower_;
  const double levelTake = 1.0 - levelCoef_;
  for (std::int32_t i = 0; i < frames; ++i) {
    const auto f = static_cast<std::size_t>(i);
    down.Run(chunk.fastMain[2 * f]);
    StereoFrame out = down.Run(chunk.fastMain[2 * f + 1]);
    if (settings.split) {
      bandDown.Run(chunk.fastBand[2 * f]);
      out += bandDown.Run(chunk.fastBand[2 * f + 1]);
    }
    dc = BothChannels(kDcKeep) * dc + BothChannels(kDcTake) * out;
    out -= dc;
    // Shared by both channels, left first.
    for (int c = 0; c < 2; ++c) {
      Follow(outputPowerState, out[c] * out[c], levelTake);
      outputPower[f][c] = outputPowerState;
    }
    if (settings.modeOne) {
      out *= BothChannels(settings.modeOneGain);
    }
    chunk.main[f] = out;
  }
  outputPower_ = outputPowerState;
  down.KeepStates();
  bandDown.KeepStates();
  dcState_ = {dc[0], dc[1]};
  if (settings.modeOne) {
    return;
  }
  for (std::int32_t i = 0; i < frames; ++i) {
    const auto f = static_cast<std::size_t>(i);
    for (int c = 0; c < 2; ++c) {
      const double input = chunk.inputPower[f][c];
      const double output = outputPower[f][c];
      const double match = (input > kPowerFloor && output > kPowerFloor)
                               ? std::clamp(std::sqrt(input / output), kLevelMatchMin, kLevelMatchMax)
                               : 1.0;
      chunk.main[f][c] *= settings.trimGain * match;
    }
  }
  RunCascade(std::array<StereoBiquad*, 2>{&postLowPass1_, &postLowPass2_}, chunk.main.data(), frames);
}

void SaturatorBlock::ProcessChunk(double* left, double* right, std::int32_t frames, const BlockSettings& settings) {
  Chunk chunk;
  chunk.frames = frames;
  chunk.left = left;
  chunk.right = right;
  LoadFrames(left, right, chunk.dry.data(), frames);
  StepWeights(chunk, settings);
  if (settings.useHighPass) {
    RunCascade(std::array<StereoBiquad*, 1>{&inputHighPass_}, chunk.dry.data(), frames);
  }
  for (std::int32_t i = 0; i < frames; ++i) {
    const auto f = static_cast<std::size_t>(i);
    chunk.main[f] = chunk.dry[f] * BothChannels(chunk.drive[f]);
  }

  // At twice the rate, each sample doubled to keep the level, shaped, and filtered back.
  FollowAndUpsample(chunk, settings);
  ShapeMainPath(chunk, settings);
  if (settings.split) {
    ShapeBandPath(chunk);
  }
  DownsampleAndMatch(chunk, settings);
  StoreFrames(chunk.main.data(), left, right, frames);
}

void SaturatorBlock::Process(double* left, double* right, std::int32_t frames) {
  UpdateCoefficients();
  UpdateFilters();
  const double a = ClampToUnit(amount_);
  if (a <= 0.0) {
    return;
  }

  BlockSettings settings{};
  settings.amount = a;
  settings.modeOne = tuning_.mode == kExponentialMode;
  const double driveDb =
      IsSet(tuning_.driveDbOverride) ? tuning_.driveDbOverride : kDriveDbPerAmount * a + kDriveDbAtZero;
  const double scaleDb =
      IsSet(tuning_.scaleDbOverride) ? tuning_.scaleDbOverride : kScaleDbPerAmount * a + kScaleDbAtZero;
  settings.driveTarget =
      settings.modeOne
          ? driveGain_.Gain(driveDb)
          : FastPow(a, kDriveCurveExponent) * (kCharacters[static_cast<std::size_t>(character_)].driveMax - 1.0) + 1.0;
  settings.bias = IsSet(tuning_.biasOverride) ? tuning_.biasOverride : kDefaultBias;
  settings.biasSlope = IsSet(tuning_.biasSlopeOverride) ? tuning_.biasSlopeOverride : kDefaultBiasSlope;
  settings.modeOneGain = scaleGain_.Gain(scaleDb) * kOutputGainScale;
  settings.trimGain = trimGain_.Gain(outputTrimDb_);
  settings.useHighPass = inputHighPassHz_ > kInputHighPassFloorHz;
  settings.split = splitMode_ == 0 || splitMode_ == 2;

  for (std::int32_t start = 0; start < frames; start += kStereoChunkFrames) {
    ProcessChunk(left + start, right + start, std::min(kStereoChunkFrames, frames - start), settings);
  }
}

void SaturatorBlock::Reset() {
  for (StereoBiquad* filter : {&postLowPass1_, &postLowPass2_, &inputHighPass_}) {
    filter->Clear();
  }
  ClearChain(upsampler_);
  ClearChain(downsampler_);
  ClearChain(bandUpsampler_);
  ClearChain(bandDownsampler_);
  ClearChain(crossover_);
  dcState_ = {};
}

}  // namespace tarnwell::dsp
