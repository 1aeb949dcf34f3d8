#include "rack/dsp/demud_block.h"

#include <algorithm>
#include <cmath>
#include <limits>

#include "rack/dsp/biquad_reuse.h"
#include "rack/dsp/dsp_math.h"
#include "rack/dsp/fast_math.h"
#include "rack/dsp/stereo_envelope.h"
#include "rack/dsp/stereo_fast_math.h"
#include "rack/dsp/stereo_frames.h"

namespace tarnwell::dsp {

namespace {

constexpr std::array<double, 5> kDetectorHz = {200.0, 280.0, 360.0, 110.0, 1300.0};
constexpr std::array<double, 5> kDetectorQ = {1.6, 1.6, 3.0, 2.0, 2.0};
constexpr std::size_t kLowReference = 3;
constexpr std::size_t kHighReference = 4;
constexpr double kPeakQ = 1.6;
constexpr double kMatchHighPassHz = 700.0;
constexpr double kMatchHighPassQ = 0.7071067811865476;
constexpr double kAmountSeconds = 0.05;
constexpr double kRisingSeconds = 0.015;
constexpr double kFallingSeconds = 0.12;
constexpr double kCutSeconds = 0.06;
constexpr double kPowerSeconds = 0.1;
constexpr double kMatchSeconds = 0.05;
// Compared in single precision, so the bypass does not hinge on the last bits of a gliding amount.
constexpr float kBypassBelowAmount = 0.01f;
constexpr double kLevelFloor = 1e-6;
constexpr double kLogLevelFloor = -6.0;
// Each cut band's reference is the level expected at its place on a straight line, in log frequency,
// between the 110 Hz and the 1300 Hz bands.
constexpr std::array<double, 3> kLowReferenceWeight = {0.7579253657116222, 0.6216818854229742, 0.5199202877958615};
constexpr std::array<double, 3> kHighReferenceWeight = {0.24207463428837786, 0.3783181145770258, 0.4800797122041384};
constexpr double kExcessThresholdDb = 1.0;
constexpr double kCutSlope = 2.5;
constexpr double kDeepestCutDb = -12.0;

// Cuts for bands that stand `excessDb` above their references, two frames at a time: none up to 1 dB,
// then steeply towards the excess itself, scaled by the amount and never deeper than 12 dB. The
// selections are what std::min and std::max are defined by, so each lane gets their bits.
StereoFrame TargetCutsDb(StereoFrame excessDb, StereoFrame amount) {
  const StereoFrame steep = BothChannels(kCutSlope) * (excessDb - BothChannels(kExcessThresholdDb));
  const StereoFrame cut = -(SelectChannels(excessDb < steep, excessDb, steep) * amount);
  const StereoFrame limited = SelectChannels(cut < BothChannels(kDeepestCutDb), BothChannels(kDeepestCutDb), cut);
  return SelectChannels(excessDb > BothChannels(kExcessThresholdDb), limited, BothChannels(0.0));
}

}  // namespace

DeMudBlock::DeMudBlock() : match_(kPowerSeconds, kMatchSeconds) {
  designedCutDb_.fill(std::numeric_limits<double>::quiet_NaN());
}

void DeMudBlock::Prepare(double sampleRate) {
  for (std::size_t b = 0; b < detectors_.size(); ++b) {
    DesignBandPass(detectors_[b], sampleRate, kDetectorHz[b], kDetectorQ[b]);
  }
  DesignHighPass(inputHighPass_, sampleRate, kMatchHighPassHz, kMatchHighPassQ);
  DesignHighPass(outputHighPass_, sampleRate, kMatchHighPassHz, kMatchHighPassQ);
  for (std::size_t b = 0; b < kCutBands; ++b) {
    const auto [cosine, sine] = AngleFor(sampleRate, kDetectorHz[b]);
    peakAlpha_[b] = sine / (2.0 * kPeakQ);
    peakCosine_[b] = cosine;
  }
  amountCoefficient_ = OnePoleCoefficient(kAmountSeconds, sampleRate);
  risingCoefficient_ = OnePoleCoefficient(kRisingSeconds, sampleRate);
  fallingCoefficient_ = OnePoleCoefficient(kFallingSeconds, sampleRate);
  cutCoefficient_ = OnePoleCoefficient(kCutSeconds, sampleRate);
  match_.Prepare(sampleRate);
  designedCutDb_.fill(std::numeric_limits<double>::quiet_NaN());
  amount_.Restart();
  Reset();
}

struct DeMudBlock::Chunk {
  // One spare entry: stages that take two frames at a time compute an odd count's last pair whole.
  template <typename T>
  using PerFrame = std::array<T, kStereoChunkFrames + 1>;

  // Frames below the bypass amount pass unchanged and touch no state, so the stages run over the
  // others only, packed: `position` is where each one sits in the chunk.
  std::int32_t frames = 0;
  PerFrame<std::int32_t> position;
  PerFrame<double> amount;
  PerFrame<StereoFrame> audio;
  PerFrame<double> mono;
  // Envelopes of detectors 0 and 1, of 2 and 3, and of 4 (lane 0; lane 1 follows the input high-pass
  // that shares its pair and is not read).
  std::array<PerFrame<StereoFrame>, 3> envelopes;
  std::array<PerFrame<double>, kDetectorBands> logLevels;
  PerFrame<double> inputSquare;
  PerFrame<double> outputSquare;
  // Target cuts, then the smoothed cuts, then the amplitudes of their designs.
  std::array<PerFrame<double>, kCutBands> cuts;
  std::array<PerFrame<SectionDesign>, kCutBands> peaks;
  PerFrame<double> gain;
};

void DeMudBlock::Process(double* left, double* right, std::int32_t frames) {
  for (std::int32_t start = 0; start < frames; start += kStereoChunkFrames) {
    ProcessChunk(left + start, right + start, std::min(kStereoChunkFrames, frames - start));
  }
}

void DeMudBlock::ProcessChunk(double* left, double* right, std::int32_t frames) {
  Chunk chunk;
  for (std::int32_t i = 0; i < frames; ++i) {
    const double amount = amount_.Step(amountCoefficient_);
    if (static_cast<float>(amount) < kBypassBelowAmount) {
      continue;
    }
    const auto n = static_cast<std::size_t>(chunk.frames++);
    chunk.position[n] = i;
    chunk.amount[n] = amount;
    chunk.audio[n] = StereoFrame{left[i], right[i]};
    chunk.mono[n] = (left[i] + right[i]) / 2.0;
  }
  if (chunk.frames == 0) {
    return;
  }
  RunDetectors(chunk);
  FindTargetCuts(chunk);
  SmoothCuts(chunk);
  DesignPeaks(chunk);
  RunPeaks(chunk);
  match_.UpdateFrames(chunk.inputSquare.data(), chunk.outputSquare.data(), chunk.gain.data(), chunk.frames);
  for (std::size_t n = 0; n < static_cast<std::size_t>(chunk.frames); ++n) {
    const StereoFrame out = chunk.audio[n] * BothChannels(chunk.gain[n]);
    // Right first: with a mono buffer the left channel's value is the one kept.
    right[chunk.position[n]] = out[1];
    left[chunk.position[n]] = out[0];
  }
}

// The five detectors and the input high-pass, all on the mono sum, as three pairs of lanes.
void DeMudBlock::RunDetectors(Chunk& chunk) {
  BiquadPair low(detectors_[0], detectors_[1]);
  BiquadPair middle(detectors_[2], detectors_[3]);
  BiquadPair high(detectors_[4], inputHighPass_);
  StereoFrame lowEnvelope{envelopes_[0], envelopes_[1]};
  StereoFrame middleEnvelope{envelopes_[2], envelopes_[3]};
  // Lane 1 is never kept, so it starts from zero each chunk.
  StereoFrame highEnvelope{envelopes_[4], 0.0};
  const StereoFrame rising = BothChannels(risingCoefficient_);
  const StereoFrame falling = BothChannels(fallingCoefficient_);
  for (std::size_t n = 0; n < static_cast<std::size_t>(chunk.frames); ++n) {
    const StereoFrame mono = BothChannels(chunk.mono[n]);
    lowEnvelope = StereoFollowEnvelope(lowEnvelope, StereoAbs(low.Run(mono)), rising, falling);
    middleEnvelope = StereoFollowEnvelope(middleEnvelope, StereoAbs(middle.Run(mono)), rising, falling);
    const StereoFrame highOut = high.Run(mono);
    highEnvelope = StereoFollowEnvelope(highEnvelope, StereoAbs(highOut), rising, falling);
    chunk.envelopes[0][n] = lowEnvelope;
    chunk.envelopes[1][n] = middleEnvelope;
    chunk.envelopes[2][n] = highEnvelope;
    chunk.inputSquare[n] = highOut[1] * highOut[1];
  }
  low.SaveStates(detectors_[0], detectors_[1]);
  middle.SaveStates(detectors_[2], detectors_[3]);
  high.SaveStates(detectors_[4], inputHighPass_);
  envelopes_ = {lowEnvelope[0], lowEnvelope[1], middleEnvelope[0], middleEnvelope[1], highEnvelope[0]};
}

// Each frame's cuts depend only on its own envelopes: the logarithms run back to back, two at a time,
// then the arithmetic two frames at a time, without a branch.
void DeMudBlock::FindTargetCuts(Chunk& chunk) const {
  const auto frames = static_cast<std::size_t>(chunk.frames);
  auto& logLevels = chunk.logLevels;
  const StereoFrame floor = BothChannels(kLevelFloor);
  // The fifth detector's envelopes go two frames at a time; an odd count's spare frame reads silence.
  chunk.envelopes[2][frames] = BothChannels(0.0);
  for (std::size_t n = 0; n < frames; ++n) {
    const StereoFrame low = chunk.envelopes[0][n];
    const StereoFrame middle = chunk.envelopes[1][n];
    // As std::max(envelope, floor) chooses, NaN included.
    const StereoFrame lowLogs = StereoLog10(SelectChannels(low < floor, floor, low));
    const StereoFrame middleLogs = StereoLog10(SelectChannels(middle < floor, floor, middle));
    logLevels[0][n] = lowLogs[0];
    logLevels[1][n] = lowLogs[1];
    logLevels[2][n] = middleLogs[0];
    logLevels[kLowReference][n] = middle[1] > kLevelFloor ? middleLogs[1] : kLogLevelFloor;
  }
  for (std::size_t n = 0; n < frames; n += 2) {
    const StereoFrame high{chunk.envelopes[2][n][0], chunk.envelopes[2][n + 1][0]};
    const StereoFrame logs = StereoLog10(SelectChannels(high < floor, floor, high));
    StorePair(SelectChannels(high > floor, logs, BothChannels(kLogLevelFloor)), &logLevels[kHighReference][n]);
  }
  if (frames % 2 != 0) {
    for (auto& band : logLevels) {
      band[frames] = 0.0;
    }
    chunk.amount[frames] = 0.0;
  }
  for (std::size_t n = 0; n < frames; n += 2) {
    const StereoFrame lowReference = LoadPair(&logLevels[kLowReference][n]);
    const StereoFrame highReference = LoadPair(&logLevels[kHighReference][n]);
    const StereoFrame amount = LoadPair(&chunk.amount[n]);
    for (std::size_t b = 0; b < kCutBands; ++b) {
      const StereoFrame excessDb =
          BothChannels(20.0) * (LoadPair(&logLevels[b][n]) - BothChannels(kLowReferenceWeight[b]) * lowReference -
                                BothChannels(kHighReferenceWeight[b]) * highReference);
      StorePair(TargetCutsDb(excessDb, amount), &chunk.cuts[b][n]);
    }
  }
}

void DeMudBlock::SmoothCuts(Chunk& chunk) {
  std::array<double, kCutBands> cut = cutDb_;
  for (std::size_t n = 0; n < static_cast<std::size_t>(chunk.frames); ++n) {
    for (std::size_t b = 0; b < kCutBands; ++b) {
      cut[b] = SmoothTowards(cut[b], chunk.cuts[b][n], cutCoefficient_);
      chunk.cuts[b][n] = cut[b];
    }
  }
  cutDb_ = cut;
}

// A peak keeps its design while its cut holds. From its first frame that moves on, each frame's
// design depends on that frame's cut alone: the exponentials run back to back, then the designs
// two frames at a time.
void DeMudBlock::DesignPeaks(Chunk& chunk) {
  const auto frames = static_cast<std::size_t>(chunk.frames);
  for (std::size_t b = 0; b < kCutBands; ++b) {
    StereoBiquad& peak = peaks_[b];
    auto& designs = chunk.peaks[b];
    auto& cuts = chunk.cuts[b];
    std::size_t first = 0;
    while (first < frames && cuts[first] == designedCutDb_[b]) {
      designs[first++] = {peak.b0, peak.b1, peak.b2, peak.a1, peak.a2};
    }
    if (first == frames) {
      continue;
    }
    designedCutDb_[b] = cuts[frames - 1];
    // Each frame's amplitude 10^(cut / 40) from its own cut, two frames at a time; an odd count's
    // spare entry takes a cut of 0 dB.
    cuts[frames] = 0.0;
    for (std::size_t n = first; n < frames; n += 2) {
      StorePair(StereoPow10(LoadPair(&cuts[n]) / BothChannels(40.0)), &cuts[n]);
    }
    const StereoFrame cosine = BothChannels(peakCosine_[b]);
    const StereoFrame alpha = BothChannels(peakAlpha_[b]);
    for (std::size_t n = first; n < frames; n += 2) {
      SectionDesignPair pair;
      DesignPeakWithOneDivision(pair, cosine, alpha, LoadPair(&cuts[n]));
      StoreDesignLanes(pair, &designs[n]);
    }
    peak.SetCoefficients({designs[frames - 1].b0, designs[frames - 1].b1, designs[frames - 1].b2,
                          designs[frames - 1].a1, designs[frames - 1].a2});
  }
}

// The three peaks in series with each frame's designs, and the output high-pass of the match.
void DeMudBlock::RunPeaks(Chunk& chunk) {
  std::array<StereoFrame, kCutBands> z1;
  std::array<StereoFrame, kCutBands> z2;
  for (std::size_t b = 0; b < kCutBands; ++b) {
    z1[b] = StereoFrame{peaks_[b].z1[0], peaks_[b].z1[1]};
    z2[b] = StereoFrame{peaks_[b].z2[0], peaks_[b].z2[1]};
  }
  Biquad outputHighPass = outputHighPass_;
  for (std::size_t n = 0; n < static_cast<std::size_t>(chunk.frames); ++n) {
    StereoFrame x = chunk.audio[n];
    for (std::size_t b = 0; b < kCutBands; ++b) {
      const SectionDesign& d = chunk.peaks[b][n];
      x = RunSectionFrame(BothChannels(d.b0), BothChannels(d.b1), BothChannels(d.b2), BothChannels(d.a1),
                          BothChannels(d.a2), z1[b], z2[b], x);
    }
    chunk.audio[n] = x;
    const double outputHigh = outputHighPass.Run((x[0] + x[1]) / 2.0);
    chunk.outputSquare[n] = outputHigh * outputHigh;
  }
  for (std::size_t b = 0; b < kCutBands; ++b) {
    peaks_[b].z1 = {z1[b][0], z1[b][1]};
    peaks_[b].z2 = {z2[b][0], z2[b][1]};
  }
  outputHighPass_ = outputHighPass;
}

void DeMudBlock::Reset() {
  for (Biquad& filter : detectors_) {
    filter.Clear();
  }
  inputHighPass_.Clear();
  outputHighPass_.Clear();
  ClearChain(peaks_);
  envelopes_.fill(0.0);
  cutDb_.fill(0.0);
  match_.Reset();
}

}  // namespace tarnwell::dsp
