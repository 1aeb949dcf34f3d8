#include "rack/dsp/delay_block.h"

#include <algorithm>
#include <array>
#include <cmath>

#include "rack/dsp/biquad_reuse.h"
#include "rack/dsp/dsp_math.h"
#include "rack/dsp/unclamped_amount.h"

namespace tarnwell::dsp {

namespace {

constexpr std::int32_t kShortestLine = 64;
constexpr double kMixSeconds = 0.02;
// The wet signal loses what lies below about 5 Hz, so feedback cannot build up an offset.
constexpr double kWetHighPassHz = 5.0;
constexpr double kSlowestBpm = 20.0;
constexpr double kFastestBpm = 300.0;
constexpr double kMaxSpreadMs = 20.0;
constexpr double kFeedbackPerAmount = 0.7;
constexpr double kMaxFeedback = 0.95;
constexpr double kBrightestToneHz = 12000.0;
constexpr double kToneHzPerAmount = 6000.0;
constexpr double kDarkestToneHz = 20.0;
constexpr double kToneQ = 0.707;
constexpr double kSilentMix = 1e-6;

// Note lengths in beats, by character: whole to sixty-fourth, each with its dotted and triplet forms.
constexpr std::array<double, 19> kNoteBeats = {
    4.0,   3.0,  2.0,       4.0 / 3.0, 1.5,   1.0,        2.0 / 3.0, 0.75,   0.5,        1.0 / 3.0,
    0.375, 0.25, 1.0 / 6.0, 0.1875,    0.125, 1.0 / 12.0, 0.09375,   0.0625, 1.0 / 24.0,
};
constexpr std::size_t kOneBeat = 5;

double NoteBeats(std::int32_t character) {
  const bool known = character >= 0 && static_cast<std::size_t>(character) < kNoteBeats.size();
  return kNoteBeats[known ? static_cast<std::size_t>(character) : kOneBeat];
}

// NaN takes the slowest tempo rather than reaching an integer conversion.
double UsableTempo(double bpm) { return bpm >= kSlowestBpm ? std::min(bpm, kFastestBpm) : kSlowestBpm; }

}  // namespace

void DelayBlock::Prepare(double sampleRate, std::int32_t maxDelaySamples) {
  sampleRate_ = sampleRate;
  lineLength_ = std::max(kShortestLine, maxDelaySamples);
  lineLeft_.assign(static_cast<std::size_t>(lineLength_), 0.0);
  lineRight_.assign(static_cast<std::size_t>(lineLength_), 0.0);
  mixCoefficient_ = OnePoleCoefficient(kMixSeconds, sampleRate);
  lowCoefficient_ = 1.0 - std::exp(-kTwoPi * kWetHighPassHz / sampleRate);
  configured_ = {};
  Reset();
}

void DelayBlock::Configure(double tempoBpm, std::int32_t character, double amount) {
  // Bays configure every block; the design is made again only when a setting moves.
  const ConfiguredSettings settings{tempoBpm, character, amount, true};
  if (settings == configured_) {
    return;
  }
  configured_ = settings;
  const double a = UsableUnclampedAmount(amount, 0.0);
  const double longest = std::max(1.0, static_cast<double>(lineLength_ - 2));
  const double delay =
      std::max(1.0, std::min(60000.0 / UsableTempo(tempoBpm) * sampleRate_ * NoteBeats(character) / 1000.0, longest));
  leftDelay_ = static_cast<std::int32_t>(delay);
  // A negative amount would put the right tap ahead of the left one; it gets no spread instead.
  const auto spread = static_cast<std::int32_t>(std::max(0.0, std::floor(sampleRate_ * kMaxSpreadMs / 1000.0 * a)));
  rightDelay_ = std::min(leftDelay_ + spread, std::max(1, lineLength_ - 1));
  mixTarget_ = a;
  feedback_ = std::min(kMaxFeedback, kFeedbackPerAmount * a);
  const double toneHz = std::max(kDarkestToneHz, kBrightestToneHz - kToneHzPerAmount * a);
  DesignLowPassFromAngle(toneLeft_, FastAngleFor(sampleRate_, toneHz), kToneQ);
  CopyCoefficients(toneLeft_, toneRight_);
  CopyCoefficients(toneLeft_, toneLeftSecond_);
  CopyCoefficients(toneLeft_, toneRightSecond_);
}

void DelayBlock::Process(double* left, double* right, std::int32_t frames) {
  const auto lineLength = static_cast<std::int32_t>(lineLeft_.size());
  if (lineLength < 4) {
    return;
  }
  // The state lives in locals through the loop: kept in members, every filter step would go through
  // memory, since the stores to the buffers might change them.
  double* lineLeft = lineLeft_.data();
  double* lineRight = lineRight_.data();
  Biquad toneLeft = toneLeft_;
  Biquad toneRight = toneRight_;
  Biquad toneLeftSecond = toneLeftSecond_;
  Biquad toneRightSecond = toneRightSecond_;
  double lowStateLeft = lowStateLeft_;
  double lowStateRight = lowStateRight_;
  double mix = mix_;
  std::int32_t writePosition = writePosition_;
  const double mixTarget = mixTarget_;
  const double mixCoefficient = mixCoefficient_;
  const double feedback = feedback_;
  const double lowCoefficient = lowCoefficient_;
  const std::int32_t leftDelay = leftDelay_;
  const std::int32_t rightDelay = rightDelay_;
  for (std::int32_t i = 0; i < frames; ++i) {
    mix = SmoothTowards(mix, mixTarget, mixCoefficient);
    // Once faded out the block stops entirely: the lines stop being written, so the tail freezes.
    if (!(mixTarget > 0.0) && mix < kSilentMix) {
      continue;
    }
    std::int32_t leftTap = writePosition - leftDelay;
    leftTap += leftTap < 0 ? lineLength : 0;
    std::int32_t rightTap = writePosition - rightDelay;
    rightTap += rightTap < 0 ? lineLength : 0;

    const double wetLeft = toneLeftSecond.Run(toneLeft.Run(lineLeft[leftTap]));
    const double wetRight = toneRightSecond.Run(toneRight.Run(lineRight[rightTap]));
    const double inLeft = left[i];
    const double inRight = right[i];
    lineLeft[writePosition] = wetLeft * feedback + inLeft;
    lineRight[writePosition] = wetRight * feedback + inRight;

    lowStateLeft += (wetLeft - lowStateLeft) * lowCoefficient;
    lowStateRight += (wetRight - lowStateRight) * lowCoefficient;
    right[i] = inRight + (wetRight - lowStateRight) * mix;
    left[i] = inLeft + (wetLeft - lowStateLeft) * mix;
    if (++writePosition == lineLength) {
      writePosition = 0;
    }
  }
  toneLeft_ = toneLeft;
  toneRight_ = toneRight;
  toneLeftSecond_ = toneLeftSecond;
  toneRightSecond_ = toneRightSecond;
  lowStateLeft_ = lowStateLeft;
  lowStateRight_ = lowStateRight;
  mix_ = mix;
  writePosition_ = writePosition;
}

void DelayBlock::Reset() {
  std::fill(lineLeft_.begin(), lineLeft_.end(), 0.0);
  std::fill(lineRight_.begin(), lineRight_.end(), 0.0);
  toneLeft_.Clear();
  toneRight_.Clear();
  toneLeftSecond_.Clear();
  toneRightSecond_.Clear();
  lowStateLeft_ = 0.0;
  lowStateRight_ = 0.0;
  writePosition_ = 0;
}

void DelayBlock::Release() {
  std::vector<double>().swap(lineLeft_);
  std::vector<double>().swap(lineRight_);
}

}  // namespace tarnwell::dsp
