#include "rack/dsp/presence_block.h"

#include <algorithm>
#include <cmath>

#include "rack/dsp/biquad_reuse.h"
#include "rack/dsp/dsp_math.h"
#include "rack/dsp/fast_math.h"
#include "rack/dsp/glide_steps.h"
#include "rack/dsp/stereo_envelope.h"
#include "rack/dsp/stereo_fast_math.h"
#include "rack/dsp/stereo_frames.h"

namespace tarnwell::dsp {

namespace {

constexpr double kAmountSeconds = 0.05;
constexpr double kAttackSeconds = 0.001;
constexpr double kReleaseSeconds = 0.05;
constexpr double kLiftHz = 3500.0;
constexpr double kLiftQ = 1.3;
// The lift shrinks from 7 dB on a quiet band to 7/9 dB when the band's envelope reaches full scale.
constexpr double kLiftDb = 7.0;
constexpr double kLiftBackOff = 8.0;
constexpr double kAirHz = 10000.0;
constexpr double kAirSlope = 1.0;
constexpr double kAirDb = 8.0;
constexpr double kDipHz = 400.0;
constexpr double kDipQ = 1.5;
constexpr double kDipDb = -5.0;
constexpr double kBypassBelowAmount = 0.01;
constexpr double kRedesignTolerance = 1e-9;
constexpr double kSaturationFromAmount = 0.15;
constexpr double kSaturationDepth = 0.2;
// The saturation reaches its full depth over the amounts from 0.15 to 1.
constexpr double kSaturationRange = 0.85;
constexpr double kSaturationDrive = 3.0;

}  // namespace

void PresenceBlock::Prepare(double sampleRate) {
  amountCoefficient_ = OnePoleCoefficient(kAmountSeconds, sampleRate);
  attackCoefficient_ = OnePoleCoefficient(kAttackSeconds, sampleRate);
  releaseCoefficient_ = OnePoleCoefficient(kReleaseSeconds, sampleRate);
  airAngle_ = AngleFor(sampleRate, kAirHz);
  dipAngle_ = AngleFor(sampleRate, kDipHz);
  const auto [cosine, sine] = AngleFor(sampleRate, kLiftHz);
  liftCosine_ = cosine;
  liftAlpha_ = sine / (2.0 * kLiftQ);
  for (Channel& channel : channels_) {
    DesignBandPass(channel.detector, sampleRate, kLiftHz, kLiftQ);
    DesignPeakFromAngle(channel.dynamicPeak, liftCosine_, liftAlpha_, 0.0);
    DesignHighShelf(channel.airShelf, sampleRate, kAirHz, kAirSlope, 0.0);
    DesignPeak(channel.lowMidDip, sampleRate, kDipHz, kDipQ, 0.0);
  }
  Reset();
}

void PresenceBlock::DesignAmountFilters(double amount) {
  designedAmount_ = amount;
  Channel& first = channels_[0];
  DesignHighShelfFromAmplitude(first.airShelf, airAngle_, kAirSlope, FastPow10(kAirDb * amount / 40.0));
  DesignPeakFromAmplitude(first.lowMidDip, dipAngle_.cosine, dipAngle_.sine / (2.0 * kDipQ),
                          FastPow10(kDipDb * amount / 40.0));
  CopyCoefficients(first.airShelf, channels_[1].airShelf);
  CopyCoefficients(first.lowMidDip, channels_[1].lowMidDip);
}

void PresenceBlock::Process(double* left, double* right, std::int32_t frames) {
  for (std::int32_t start = 0; start < frames; start += kStereoChunkFrames) {
    ProcessChunk(left + start, right + start, std::min(kStereoChunkFrames, frames - start));
  }
}

void PresenceBlock::ProcessChunk(double* left, double* right, std::int32_t frames) {
  std::array<double, kStereoChunkFrames> amounts;
  StepGlide(amount_, amountTarget_, amountCoefficient_, amounts.data(), frames);
  const auto active = [&](std::int32_t i) { return !(amounts[static_cast<std::size_t>(i)] < kBypassBelowAmount); };
  const auto designed = [&](std::int32_t i) {
    return !(std::fabs(amounts[static_cast<std::size_t>(i)] - designedAmount_) > kRedesignTolerance);
  };
  // Frames below the bypass amount pass untouched; a glide redesigns the shelf and the dip, so a run
  // ends where either happens.
  for (std::int32_t start = 0; start < frames;) {
    if (!active(start)) {
      ++start;
      continue;
    }
    if (!designed(start)) {
      DesignAmountFilters(amounts[static_cast<std::size_t>(start)]);
    }
    std::int32_t end = start + 1;
    while (end < frames && active(end) && designed(end)) {
      ++end;
    }
    ProcessRun(left + start, right + start, amounts.data() + start, end - start);
    start = end;
  }
}

void PresenceBlock::ProcessRun(double* left, double* right, const double* amounts, std::int32_t frames) {
  const auto count = static_cast<std::size_t>(frames);
  Channel& l = channels_[0];
  Channel& r = channels_[1];
  std::array<StereoFrame, kStereoChunkFrames> samples;
  LoadFrames(left, right, samples.data(), frames);

  // The detectors' recurrence is the slow part of this loop; the exponents' divisions run in its shadow.
  std::array<StereoFrame, kStereoChunkFrames> amplitudes;
  {
    BiquadPair detectors(l.detector, r.detector);
    StereoFrame envelopes{l.envelope, r.envelope};
    const StereoFrame attack = BothChannels(attackCoefficient_);
    const StereoFrame release = BothChannels(releaseCoefficient_);
    for (std::size_t i = 0; i < count; ++i) {
      envelopes = StereoFollowEnvelope(envelopes, StereoAbs(detectors.Run(samples[i])), attack, release);
      amplitudes[i] = BothChannels(kLiftDb * amounts[i]) /
                      (BothChannels(kLiftBackOff) * envelopes + BothChannels(1.0)) / BothChannels(40.0);
    }
    detectors.SaveStates(l.detector, r.detector);
    l.envelope = envelopes[0];
    r.envelope = envelopes[1];
  }
  // 10^x as Pow10 forms it, both channels in one exponential.
  for (std::size_t i = 0; i < count; ++i) {
    amplitudes[i] = StereoExp(amplitudes[i] * BothChannels(fast_math_detail::kLn10));
  }

  // The lift is designed for both channels at once; its divisions and the saturation's overlap the
  // sections' recurrences.
  const StereoFrame alpha = BothChannels(liftAlpha_);
  const StereoFrame one = BothChannels(1.0);
  const StereoFrame cosine = BothChannels(liftCosine_);
  StereoFrame z1{l.dynamicPeak.z1, r.dynamicPeak.z1};
  StereoFrame z2{l.dynamicPeak.z2, r.dynamicPeak.z2};
  BiquadPair shelves(l.airShelf, r.airShelf);
  BiquadPair dips(l.lowMidDip, r.lowMidDip);
  struct {
    StereoFrame b0, b1, b2, a1, a2;
  } lift{};
  for (std::size_t i = 0; i < count; ++i) {
    DesignPeakWithOneDivision(lift, cosine, alpha, amplitudes[i]);
    StereoFrame y =
        dips.Run(shelves.Run(RunSectionFrame(lift.b0, lift.b1, lift.b2, lift.a1, lift.a2, z1, z2, samples[i])));
    const double amount = amounts[i];
    if (amount > kSaturationFromAmount) {
      const StereoFrame driven = BothChannels(kSaturationDrive) * y;
      y += driven / (StereoAbs(driven) + one) *
           BothChannels((amount - kSaturationFromAmount) * kSaturationDepth / kSaturationRange);
    }
    samples[i] = y;
  }
  l.dynamicPeak = {lift.b0[0], lift.b1[0], lift.b2[0], lift.a1[0], lift.a2[0], z1[0], z2[0]};
  r.dynamicPeak = {lift.b0[1], lift.b1[1], lift.b2[1], lift.a1[1], lift.a2[1], z1[1], z2[1]};
  shelves.SaveStates(l.airShelf, r.airShelf);
  dips.SaveStates(l.lowMidDip, r.lowMidDip);
  StoreFrames(samples.data(), left, right, frames);
}

void PresenceBlock::Reset() {
  for (Channel& channel : channels_) {
    channel.detector.Clear();
    channel.dynamicPeak.Clear();
    channel.airShelf.Clear();
    channel.lowMidDip.Clear();
    channel.envelope = 0.0;
  }
  designedAmount_ = -1.0;
}

}  // namespace tarnwell::dsp
