#include "rack/dsp/clip_block.h"

#include <algorithm>
#include <cmath>

#include "rack/dsp/dsp_math.h"
#include "rack/dsp/latency.h"

namespace tarnwell::dsp {

namespace {

constexpr double kCeiling = 0.9661;
constexpr double kMaxDriveDb = 24.0;
constexpr double kDriveExponent = 1.5;
constexpr double kAttackSeconds = 0.0015;
constexpr double kReleaseSeconds = 0.1;

// Share of the distance to the target covered per frame.
double StepCoefficient(double seconds, double sampleRate) { return 1.0 - std::exp(-1.0 / (seconds * sampleRate)); }

}  // namespace

void ClipBlock::Prepare(double sampleRate) {
  lookahead_ = std::max(ClipLookaheadSamples(sampleRate), 1);
  attackCoefficient_ = StepCoefficient(kAttackSeconds, sampleRate);
  releaseCoefficient_ = StepCoefficient(kReleaseSeconds, sampleRate);
  const auto lineLength = static_cast<std::size_t>(lookahead_) + 1;
  lineLeft_.assign(lineLength, 0.0);
  lineRight_.assign(lineLength, 0.0);
  Reset();
}

void ClipBlock::SetAmount(double amount) {
  // Bays set the amount every block; the powers are taken only when it moves.
  if (amount == amount_) {
    return;
  }
  amount_ = amount;
  driveDb_ = kMaxDriveDb * std::pow(amount, kDriveExponent);
  driveGain_ = DbToGain(driveDb_);
}

void ClipBlock::Process(double* left, double* right, std::int32_t frames) {
  const auto lineLength = static_cast<std::int32_t>(lineLeft_.size());
  if (lineLength < 2) {
    return;
  }
  // Locals, so that the stores to the buffers cannot make the compiler reload the state.
  double* const lineLeft = lineLeft_.data();
  double* const lineRight = lineRight_.data();
  const double driveGain = driveGain_;
  const double attack = attackCoefficient_;
  const double release = releaseCoefficient_;
  const std::int32_t lookahead = lookahead_;
  double limiterGain = limiterGain_;
  std::int32_t writePosition = writePosition_;
  for (std::int32_t i = 0; i < frames; ++i) {
    const double drivenLeft = driveGain * left[i];
    const double drivenRight = driveGain * right[i];
    lineLeft[writePosition] = drivenLeft;
    lineRight[writePosition] = drivenRight;
    std::int32_t readPosition = writePosition - lookahead;
    if (readPosition < 0) {
      readPosition += lineLength;
    }

    // The limiter hears the undelayed peak, so its gain is already down when the peak is played.
    const double peak = std::max(std::fabs(drivenLeft), std::fabs(drivenRight));
    const double target = peak > kCeiling ? kCeiling / peak : 1.0;
    limiterGain += (target - limiterGain) * (target < limiterGain ? attack : release);

    right[i] = std::clamp(lineRight[readPosition] * limiterGain, -kCeiling, kCeiling);
    left[i] = std::clamp(lineLeft[readPosition] * limiterGain, -kCeiling, kCeiling);
    if (++writePosition == lineLength) {
      writePosition = 0;
    }
  }
  limiterGain_ = limiterGain;
  writePosition_ = writePosition;
}

void ClipBlock::Reset() {
  std::fill(lineLeft_.begin(), lineLeft_.end(), 0.0);
  std::fill(lineRight_.begin(), lineRight_.end(), 0.0);
  limiterGain_ = 1.0;
  writePosition_ = 0;
}

void ClipBlock::Release() {
  std::vector<double>().swap(lineLeft_);
  std::vector<double>().swap(lineRight_);
}

}  // namespace tarnwell::dsp
