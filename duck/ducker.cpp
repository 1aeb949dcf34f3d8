#include "duck/ducker.h"

#include <algorithm>
#include <climits>
#include <cmath>
#include <numbers>

namespace {

struct CharacterTiming {
  double gainScale;
  bool keyFilterOn;
  double holdMs;
  double gainReleaseMs;
  double lookAheadMs;
  double attackMs;  // detector attack and gain fall
  double detectorReleaseMs;
};

constexpr CharacterTiming kSing{0.62, true, 120.0, 350.0, 5.0, 40.0, 120.0};
constexpr CharacterTiming kSpeak{1.0, false, 250.0, 200.0, 3.0, 4.0, 50.0};
constexpr double kKeyHighPassHz = 250.0;
constexpr double kKeyLowPassHz = 4000.0;

double Coefficient(double ms, double fs) { return std::exp(-1.0 / (ms * 0.001 * fs)); }

// Truncation of a sample count, saturated so that absurd rates cannot overflow it.
int32_t Samples(double ms, double fs) {
  const double n = ms * 0.001 * fs;
  return n >= static_cast<double>(INT32_MAX) ? INT32_MAX : static_cast<int32_t>(n);
}

}  // namespace

void Ducker::Configure() noexcept {
  if (sampleRate == configuredRate_ && character == configuredCharacter_) return;
  configuredRate_ = sampleRate;
  configuredCharacter_ = character;
  const double fs = sampleRate;
  const CharacterTiming& t = character == static_cast<int32_t>(DuckCharacter::Speak) ? kSpeak : kSing;
  gainScale_ = t.gainScale;
  keyFilterOn_ = t.keyFilterOn;
  gainAttack_ = Coefficient(t.attackMs, fs);
  gainRelease_ = Coefficient(t.gainReleaseMs, fs);
  holdSamples_ = Samples(t.holdMs, fs);
  // Look-ahead L: delay L + 1 in a line of L + 3, cut to the lines' capacity above the
  // highest rate.
  const int32_t lookAhead = std::min(Samples(t.lookAheadMs, fs), kRingCapacity - 3);
  delaySamples_ = lookAhead + 1;
  const int32_t length = lookAhead + 3;
  if (length != ringLength_) {
    for (Channel& c : channels_) std::fill_n(c.ring.begin(), length, 0.0);
    ringLength_ = length;
    ringPos_ = 0;
  }

  // Both sections with alpha = sin(w) / 1.414, normalised by a0 = 1 + alpha; computed even
  // when the filter is off so that a character change finds them ready.
  const double wHigh = 2.0 * std::numbers::pi * kKeyHighPassHz / fs;
  const double wLow = 2.0 * std::numbers::pi * std::min(0.45 * fs, kKeyLowPassHz) / fs;
  const double cosHigh = std::cos(wHigh), alphaHigh = std::sin(wHigh) / 1.414, a0High = 1.0 + alphaHigh;
  const double cosLow = std::cos(wLow), alphaLow = std::sin(wLow) / 1.414, a0Low = 1.0 + alphaLow;
  for (Channel& c : channels_) {
    c.detectorAttack = Coefficient(t.attackMs, fs);
    c.detectorRelease = Coefficient(t.detectorReleaseMs, fs);
    KeySection& hp = c.highPass;
    hp.b0 = hp.b2 = (1.0 + cosHigh) / 2.0 / a0High;
    hp.b1 = -(1.0 + cosHigh) / a0High;
    hp.a1 = -2.0 * cosHigh / a0High;
    hp.a2 = (1.0 - alphaHigh) / a0High;
    KeySection& lp = c.lowPass;
    lp.b0 = lp.b2 = (1.0 - cosLow) / 2.0 / a0Low;
    lp.b1 = (1.0 - cosLow) / a0Low;
    lp.a1 = -2.0 * cosLow / a0Low;
    lp.a2 = (1.0 - alphaLow) / a0Low;
  }
}

// A key sample that is not finite, or filter state that overflowed, would stop the
// follower for good; both count as silence instead.
double Ducker::FilteredKey(Channel& channel, double key) const noexcept {
  if (!std::isfinite(key)) key = 0.0;
  if (!keyFilterOn_) return key;
  for (KeySection* s : {&channel.highPass, &channel.lowPass}) {
    const double y = s->b0 * key + s->z1;
    s->z1 = s->b1 * key - s->a1 * y + s->z2;
    s->z2 = s->b2 * key - s->a2 * y;
    key = y;
  }
  if (std::isfinite(key) && std::isfinite(channel.highPass.z1 + channel.highPass.z2) &&
      std::isfinite(channel.lowPass.z1 + channel.lowPass.z2))
    return key;
  channel.highPass.z1 = channel.highPass.z2 = channel.lowPass.z1 = channel.lowPass.z2 = 0.0;
  return 0.0;
}

void Ducker::Process(double* left, double* right, int32_t frames, const double* keyLeft,
                     const double* keyRight) noexcept {
  if (ringLength_ < 2 || left == nullptr) return;
  if (thresholdDb != levels_.thresholdDb || depthDb != levels_.depthDb || gainScale_ != levels_.gainScale) {
    levels_ = {thresholdDb, depthDb, gainScale_, std::pow(10.0, thresholdDb / 20.0),
               std::pow(10.0, -depthDb * gainScale_ / 20.0)};
  }
  const double threshold = levels_.threshold;
  const double duck = levels_.duck;
  double* io[2] = {left, right};
  const double* keys[2] = {keyLeft != nullptr ? keyLeft : left, keyRight != nullptr ? keyRight : right};
  const int32_t channels = right != nullptr ? 2 : 1;
  for (int32_t i = 0; i < frames; ++i) {
    // Both keys are read before either channel is written: a key may be the other output.
    const double key[2] = {keys[0][i], channels > 1 ? keys[1][i] : 0.0};
    int32_t readPos = ringPos_ - delaySamples_;
    if (readPos < 0) readPos += ringLength_;
    for (int32_t ch = 0; ch < channels; ++ch) {
      Channel& c = channels_[ch];
      c.ring[ringPos_] = io[ch][i];
      const double delayed = c.ring[readPos];
      const double level = std::fabs(FilteredKey(c, key[ch]));
      c.envelope = (c.envelope - level) * (level > c.envelope ? c.detectorAttack : c.detectorRelease) + level;
      if (!std::isfinite(c.envelope)) c.envelope = 0.0;
      const bool loud = c.envelope > threshold;
      if (loud)
        c.holdLeft = holdSamples_;
      else if (c.holdLeft > 0)
        --c.holdLeft;
      const double target = loud || c.holdLeft > 0 ? duck : 1.0;
      c.gain = (c.gain - target) * (c.gain > target ? gainAttack_ : gainRelease_) + target;
      io[ch][i] = c.gain * delayed;
    }
    ringPos_ = ringPos_ + 1 == ringLength_ ? 0 : ringPos_ + 1;
  }
}
