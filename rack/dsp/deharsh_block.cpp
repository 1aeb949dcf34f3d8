#include "rack/dsp/deharsh_block.h"

#include <algorithm>
#include <cmath>

#include "rack/dsp/biquad_reuse.h"
#include "rack/dsp/dsp_math.h"
#include "rack/dsp/envelope_follower.h"
#include "rack/dsp/latency.h"
#include "rack/dsp/stereo_envelope.h"
#include "rack/dsp/stereo_fast_math.h"
#include "rack/dsp/stereo_frames.h"

namespace tarnwell::dsp {

namespace {

constexpr std::array<double, 4> kBandHz = {2500.0, 3500.0, 5000.0, 7000.0};
constexpr double kBandQ = 1.5;
constexpr double kLowReferenceHz = 500.0;
constexpr double kHighReferenceHz = 12000.0;
constexpr double kReferenceQ = 0.7;
// Share of the common threshold at which each band starts to be cut.
constexpr std::array<double, 4> kThresholdShare = {1.2, 1.0, 1.0, 1.1};
constexpr double kAmountSeconds = 0.05;
constexpr double kBandRisingSeconds = 0.0005;
constexpr double kBandFallingSeconds = 0.03;
constexpr double kReferenceRisingSeconds = 0.01;
constexpr double kReferenceFallingSeconds = 0.1;
constexpr double kGainSeconds = 0.002;
constexpr double kPowerSeconds = 0.3;
constexpr double kMatchSeconds = 0.227;
constexpr double kReferenceOffset = 1e-5;
constexpr double kSmallestGain = 0.001;
// A quadratic knee 3 dB wide, then the excess less 1.5 dB, so the curve and its slope join.
constexpr double kKneeDb = 3.0;
constexpr double kKneeDivisor = 6.0;
constexpr double kAboveKneeOffsetDb = 1.5;
// The peaks narrow from Q 2 towards Q 0.7 as their cut deepens.
constexpr double kWidestQ = 2.0;
constexpr double kQPerDb = 0.05;
constexpr double kNarrowestQ = 0.7;

// The threshold every band's share is taken of.
double ThresholdBase(double amount, double reference) { return (reference + kReferenceOffset) * (1.4 - 0.5 * amount); }

struct CutShape {
  double maxCutDb;
  double slope;
};

CutShape ShapeFor(double amount) { return {6.0 * amount + 4.0, 1.0 - 1.0 / (2.0 * amount + 1.5)}; }

// Two frames' gains of one band: no cut up to the threshold, then a quadratic knee, then the excess
// times the slope, at most the deepest cut. `over` is envelope > threshold; not over, NaN included,
// means no cut.
StereoFrame BandGains(StereoFrame envelope, StereoFrame threshold, StereoBits over, StereoFrame maxCutDb,
                      StereoFrame slope) {
  const StereoFrame unity = BothChannels(1.0);
  // A lane not over takes a ratio of 1, which keeps the logarithm off its slow path.
  const StereoFrame overDb = BothChannels(20.0) * StereoLog10(SelectChannels(over, envelope / threshold, unity));
  const StereoFrame kneed = SelectChannels(overDb < BothChannels(kKneeDb), overDb * overDb / BothChannels(kKneeDivisor),
                                           overDb - BothChannels(kAboveKneeOffsetDb));
  const StereoFrame cutDb = kneed * slope;
  // As std::min(maxCutDb, cutDb) chooses.
  const StereoFrame limitedDb = SelectChannels(cutDb < maxCutDb, cutDb, maxCutDb);
  return SelectChannels(over, StereoPow10(-limitedDb / BothChannels(20.0)), unity);
}

}  // namespace

DeHarshBlock::DeHarshBlock() : match_(kPowerSeconds, kMatchSeconds) {
  smoothedGains_.fill(1.0);
  designedGains_.fill(-1.0);
}

void DeHarshBlock::Prepare(double sampleRate) {
  for (std::size_t b = 0; b < kCutBands; ++b) {
    DesignBandPass(bandPasses_[b], sampleRate, kBandHz[b], kBandQ);
    const auto [cosine, sine] = AngleFor(sampleRate, kBandHz[b]);
    peakSine_[b] = sine;
    peakCosine_[b] = cosine;
  }
  DesignBandPass(lowReferencePass_, sampleRate, kLowReferenceHz, kReferenceQ);
  DesignBandPass(highReferencePass_, sampleRate, kHighReferenceHz, kReferenceQ);
  amountCoefficient_ = OnePoleCoefficient(kAmountSeconds, sampleRate);
  bandRisingCoefficient_ = OnePoleCoefficient(kBandRisingSeconds, sampleRate);
  bandFallingCoefficient_ = OnePoleCoefficient(kBandFallingSeconds, sampleRate);
  referenceRisingCoefficient_ = OnePoleCoefficient(kReferenceRisingSeconds, sampleRate);
  referenceFallingCoefficient_ = OnePoleCoefficient(kReferenceFallingSeconds, sampleRate);
  gainCoefficient_ = OnePoleCoefficient(kGainSeconds, sampleRate);
  match_.Prepare(sampleRate);
  const auto lineLength = static_cast<std::size_t>(std::max(DeHarshLookaheadSamples(sampleRate), 1));
  lineLeft_.assign(lineLength, 0.0);
  lineRight_.assign(lineLength, 0.0);
  designedGains_.fill(-1.0);
  amount_.Restart();
  Reset();
}

struct DeHarshBlock::Chunk {
  // One spare entry: stages that take two frames at a time compute an odd count's last pair whole.
  template <typename T>
  using PerFrame = std::array<T, kStereoChunkFrames + 1>;

  std::size_t frames = 0;
  PerFrame<double> amounts;
  PerFrame<double> references;
  std::array<PerFrame<double>, kCutBands> envelopes;
  // Each band's gain, then its smoothing, written over it.
  std::array<PerFrame<double>, kCutBands> gains;
  std::array<PerFrame<SectionDesign>, kCutBands> designs;
};

void DeHarshBlock::Process(double* left, double* right, std::int32_t frames) {
  if (lineLeft_.empty()) {
    return;
  }
  for (std::int32_t start = 0; start < frames; start += kStereoChunkFrames) {
    ProcessChunk(left + start, right + start, std::min(kStereoChunkFrames, frames - start));
  }
}

void DeHarshBlock::ProcessChunk(double* left, double* right, std::int32_t frames) {
  Chunk chunk;
  chunk.frames = static_cast<std::size_t>(frames);
  const std::size_t count = chunk.frames;
  auto& amounts = chunk.amounts;
  amount_.Steps(amountCoefficient_, amounts.data(), frames);
  for (std::size_t i = 0; i < count; ++i) {
    // Single precision, so a glide that ends a hair from 0 still mixes exactly dry.
    amounts[i] = static_cast<float>(amounts[i]);
  }

  std::array<StereoFrame, kStereoChunkFrames> inputs;
  std::array<StereoFrame, kStereoChunkFrames> dry;
  // The peaks then run on these in place.
  std::array<StereoFrame, kStereoChunkFrames> wet;
  LoadFrames(left, right, inputs.data(), frames);
  const auto lineLength = lineLeft_.size();
  auto position = static_cast<std::size_t>(writePosition_);
  for (std::size_t i = 0; i < count; ++i) {
    // The line is exactly the look-ahead long: the oldest sample is read before the newest replaces it.
    dry[i] = StereoFrame{lineLeft_[position], lineRight_[position]};
    wet[i] = dry[i];
    lineLeft_[position] = inputs[i][0];
    lineRight_[position] = inputs[i][1];
    if (++position == lineLength) {
      position = 0;
    }
  }
  writePosition_ = static_cast<std::int32_t>(position);

  // The six detectors of the mono sum as three pairs: the bands two by two, then both references.
  {
    BiquadPair lowBands(bandPasses_[0], bandPasses_[1]);
    BiquadPair highBands(bandPasses_[2], bandPasses_[3]);
    BiquadPair referencePasses(lowReferencePass_, highReferencePass_);
    StereoFrame lowEnvelopes{bandEnvelopes_[0], bandEnvelopes_[1]};
    StereoFrame highEnvelopes{bandEnvelopes_[2], bandEnvelopes_[3]};
    StereoFrame referenceEnvelopes{lowReferenceEnvelope_, highReferenceEnvelope_};
    const StereoFrame bandRising = BothChannels(bandRisingCoefficient_);
    const StereoFrame bandFalling = BothChannels(bandFallingCoefficient_);
    const StereoFrame referenceRising = BothChannels(referenceRisingCoefficient_);
    const StereoFrame referenceFalling = BothChannels(referenceFallingCoefficient_);
    auto& envelopes = chunk.envelopes;
    for (std::size_t i = 0; i < count; ++i) {
      const StereoFrame mono = BothChannels((inputs[i][0] + inputs[i][1]) / 2.0);
      lowEnvelopes = StereoFollowEnvelope(lowEnvelopes, StereoAbs(lowBands.Run(mono)), bandRising, bandFalling);
      highEnvelopes = StereoFollowEnvelope(highEnvelopes, StereoAbs(highBands.Run(mono)), bandRising, bandFalling);
      referenceEnvelopes = StereoFollowEnvelope(referenceEnvelopes, StereoAbs(referencePasses.Run(mono)),
                                                referenceRising, referenceFalling);
      envelopes[0][i] = lowEnvelopes[0];
      envelopes[1][i] = lowEnvelopes[1];
      envelopes[2][i] = highEnvelopes[0];
      envelopes[3][i] = highEnvelopes[1];
      chunk.references[i] = std::sqrt(referenceEnvelopes[0] * referenceEnvelopes[1]);
    }
    lowBands.SaveStates(bandPasses_[0], bandPasses_[1]);
    highBands.SaveStates(bandPasses_[2], bandPasses_[3]);
    referencePasses.SaveStates(lowReferencePass_, highReferencePass_);
    bandEnvelopes_ = {lowEnvelopes[0], lowEnvelopes[1], highEnvelopes[0], highEnvelopes[1]};
    lowReferenceEnvelope_ = referenceEnvelopes[0];
    highReferenceEnvelope_ = referenceEnvelopes[1];
  }

  FindGains(chunk);
  SmoothGains(chunk);
  DesignPeaks(chunk);
  const auto& designs = chunk.designs;
  RunCascadeWithDesigns(SectionsOf(peaks_),
                        {designs[0].data(), designs[1].data(), designs[2].data(), designs[3].data()}, wet.data(),
                        frames);

  std::array<double, kStereoChunkFrames> matchGains;
  for (std::size_t i = 0; i < count; ++i) {
    const StereoFrame in = inputs[i];
    const StereoFrame out = wet[i];
    matchGains[i] = match_.Update((in[0] * in[0] + in[1] * in[1]) / 2.0, (out[0] * out[0] + out[1] * out[1]) / 2.0);
  }
  std::array<StereoFrame, kStereoChunkFrames>& mixed = wet;
  for (std::size_t i = 0; i < count; ++i) {
    const double u = amounts[i];
    mixed[i] = BothChannels(u * matchGains[i]) * wet[i] + BothChannels(1.0 - u) * dry[i];
  }
  StoreFrames(mixed.data(), left, right, frames);
}

// Each band's gain, two frames at a time. An odd count's spare frame has no envelope, so no cut.
void DeHarshBlock::FindGains(Chunk& chunk) const {
  const std::size_t count = chunk.frames;
  std::array<double, kStereoChunkFrames + 1> thresholdBases;
  std::array<double, kStereoChunkFrames + 1> maxCutsDb;
  std::array<double, kStereoChunkFrames + 1> slopes;
  // The shape's slope costs a division; a settled amount keeps it.
  double shapeAmount = -1.0;
  CutShape shape{};
  for (std::size_t i = 0; i < count; ++i) {
    const double amount = chunk.amounts[i];
    if (amount != shapeAmount) {
      shapeAmount = amount;
      shape = ShapeFor(shapeAmount);
    }
    thresholdBases[i] = ThresholdBase(amount, chunk.references[i]);
    maxCutsDb[i] = shape.maxCutDb;
    slopes[i] = shape.slope;
  }
  thresholdBases[count] = 1.0;
  maxCutsDb[count] = 0.0;
  slopes[count] = 0.0;
  for (std::size_t b = 0; b < kCutBands; ++b) {
    chunk.envelopes[b][count] = 0.0;
    const auto& envelopes = chunk.envelopes[b];
    auto& gains = chunk.gains[b];
    const StereoFrame share = BothChannels(kThresholdShare[b]);
    for (std::size_t i = 0; i < count; i += 2) {
      const StereoFrame envelope = LoadPair(&envelopes[i]);
      const StereoFrame threshold = share * LoadPair(&thresholdBases[i]);
      const StereoBits over = envelope > threshold;
      // Mostly neither frame is over.
      if (EitherChannel(over)) {
        StorePair(BandGains(envelope, threshold, over, LoadPair(&maxCutsDb[i]), LoadPair(&slopes[i])), &gains[i]);
      } else {
        gains[i] = 1.0;
        gains[i + 1] = 1.0;
      }
    }
  }
}

void DeHarshBlock::SmoothGains(Chunk& chunk) {
  for (std::size_t i = 0; i < chunk.frames; ++i) {
    for (std::size_t b = 0; b < kCutBands; ++b) {
      smoothedGains_[b] = SmoothTowards(smoothedGains_[b], chunk.gains[b][i], gainCoefficient_);
      chunk.gains[b][i] = smoothedGains_[b];
    }
  }
}

// A peak keeps its design while its gain holds. From its first frame that moves on, each frame's
// design depends on that frame's gain alone, so the designs run two frames at a time.
void DeHarshBlock::DesignPeaks(Chunk& chunk) {
  const std::size_t count = chunk.frames;
  for (std::size_t b = 0; b < kCutBands; ++b) {
    auto& gains = chunk.gains[b];
    auto& designs = chunk.designs[b];
    const SectionDesign held{peaks_[b].b0, peaks_[b].b1, peaks_[b].b2, peaks_[b].a1, peaks_[b].a2};
    std::size_t first = 0;
    while (first < count && gains[first] == designedGains_[b]) {
      designs[first++] = held;
    }
    if (first == count) {
      continue;
    }
    designedGains_[b] = gains[count - 1];
    gains[count] = 1.0;
    const StereoFrame cosine = BothChannels(peakCosine_[b]);
    const StereoFrame sine = BothChannels(peakSine_[b]);
    for (std::size_t i = first; i < count; i += 2) {
      // A pair whose gains both hold keeps the design before it; the first pair's first frame moves.
      if (i > first && gains[i] == gains[i - 1] && gains[i + 1] == gains[i]) {
        designs[i] = designs[i - 1];
        designs[i + 1] = designs[i - 1];
        continue;
      }
      const StereoFrame smoothed = LoadPair(&gains[i]);
      // As std::max(smoothed, kSmallestGain) chooses.
      const StereoFrame limited =
          SelectChannels(smoothed < BothChannels(kSmallestGain), BothChannels(kSmallestGain), smoothed);
      const StereoFrame cutDb = BothChannels(20.0) * StereoLog10(limited);
      const StereoFrame widest = BothChannels(kWidestQ) - BothChannels(kQPerDb) * StereoAbs(cutDb);
      const StereoFrame q = SelectChannels(widest < BothChannels(kNarrowestQ), BothChannels(kNarrowestQ), widest);
      // 10^(cut dB / 40) of a cut of 20 log10(gain) dB is the gain's square root.
      SectionDesignPair pair;
      DesignPeakWithOneDivision(pair, cosine, sine / (BothChannels(2.0) * q), StereoSqrt(limited));
      StoreDesignLanes(pair, &designs[i]);
    }
  }
}

void DeHarshBlock::Reset() {
  for (std::size_t b = 0; b < kCutBands; ++b) {
    bandPasses_[b].Clear();
    peaks_[b].Clear();
  }
  lowReferencePass_.Clear();
  highReferencePass_.Clear();
  bandEnvelopes_.fill(0.0);
  lowReferenceEnvelope_ = 0.0;
  highReferenceEnvelope_ = 0.0;
  smoothedGains_.fill(1.0);
  std::fill(lineLeft_.begin(), lineLeft_.end(), 0.0);
  std::fill(lineRight_.begin(), lineRight_.end(), 0.0);
  writePosition_ = 0;
  match_.Reset();
}

void DeHarshBlock::Release() {
  std::vector<double>().swap(lineLeft_);
  std::vector<double>().swap(lineRight_);
}

}  // namespace tarnwell::dsp
