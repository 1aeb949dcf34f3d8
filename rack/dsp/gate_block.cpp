#include "rack/dsp/gate_block.h"

#include <algorithm>
#include <cmath>

#include "rack/dsp/dsp_math.h"
#include "rack/dsp/fast_math.h"
#include "rack/dsp/latency.h"

namespace tarnwell::dsp {

namespace {

constexpr double kAmountSmoothingSeconds = 0.02;
constexpr double kSideChainHighPassHz = 80.0;
constexpr double kSideChainQ = 0.707;
constexpr double kHoldSeconds = 0.005;
constexpr double kEnvelopeFallShare = 0.9995;
// Threshold runs from -60 dB at amount 0 to -10 dB at amount 1.
constexpr double kThresholdAtZeroDb = -60.0;
constexpr double kThresholdSpanDb = 50.0;
constexpr double kKneeHalfWidthDb = 2.0;
// Times in ms at amount 1, plus the span added as the amount falls to 0.
constexpr double kAttackMs = 0.1;
constexpr double kAttackSpanMs = 0.9;
constexpr double kReleaseMs = 10.0;
constexpr double kReleaseSpanMs = 190.0;
constexpr double kLevelFloor = 1e-10;

double TimeCoefficient(double milliseconds, double sampleRate) {
  return 1.0 - TableExp(-1.0 / (milliseconds * sampleRate * 0.001));
}

// 0 below the knee, 1 above it, a quadratic 4 dB knee in between.
double TargetGain(double levelDb, double thresholdDb) {
  const double aboveKneeStart = levelDb - thresholdDb + kKneeHalfWidthDb;
  if (aboveKneeStart < 0.0) {
    return 0.0;
  }
  if (aboveKneeStart >= 2.0 * kKneeHalfWidthDb) {
    return 1.0;
  }
  const double x = aboveKneeStart * (0.5 / kKneeHalfWidthDb);
  return x * x;
}

}  // namespace

void GateBlock::Prepare(double sampleRate) {
  sampleRate_ = sampleRate;
  amountCoefficient_ = OnePoleCoefficient(kAmountSmoothingSeconds, sampleRate);
  lookahead_ = GateLookaheadSamples(sampleRate);
  holdFrames_ = static_cast<std::int32_t>(kHoldSeconds * sampleRate);
  const auto lineLength = static_cast<std::size_t>(lookahead_) + 1;
  lineLeft_.assign(lineLength, 0.0);
  lineRight_.assign(lineLength, 0.0);
  DesignHighPass(sideChainLeft_, sampleRate, kSideChainHighPassHz, kSideChainQ);
  DesignHighPass(sideChainRight_, sampleRate, kSideChainHighPassHz, kSideChainQ);
  coefficientAmount_ = -1.0;
  Reset();
}

void GateBlock::UpdateTimeCoefficients() {
  // Two exponentials per frame would dominate the gate's cost; they only change while the amount glides.
  if (amount_ == coefficientAmount_) {
    return;
  }
  coefficientAmount_ = amount_;
  const double openness = 1.0 - amount_;
  attackCoefficient_ = TimeCoefficient(kAttackSpanMs * openness + kAttackMs, sampleRate_);
  releaseCoefficient_ = TimeCoefficient(kReleaseSpanMs * openness + kReleaseMs, sampleRate_);
}

void GateBlock::Process(double* left, double* right, std::int32_t frames) {
  const auto lineLength = static_cast<std::int32_t>(lineLeft_.size());
  if (lineLength < 2 || lookahead_ >= lineLength) {
    return;
  }
  for (std::int32_t i = 0; i < frames; ++i) {
    amount_ = SmoothTowards(amount_, amountTarget_, amountCoefficient_);
    UpdateTimeCoefficients();

    const double inLeft = left[i];
    const double inRight = right[i];
    lineLeft_[writePosition_] = inLeft;
    lineRight_[writePosition_] = inRight;
    std::int32_t readPosition = writePosition_ - lookahead_;
    if (readPosition < 0) {
      readPosition += lineLength;
    }

    const double level = std::max(std::fabs(sideChainLeft_.Run(inLeft)), std::fabs(sideChainRight_.Run(inRight)));
    if (level > envelope_) {
      envelope_ = level;
      holdCounter_ = holdFrames_;
    } else if (holdCounter_ < 1) {
      envelope_ = (1.0 - kEnvelopeFallShare) * level + kEnvelopeFallShare * envelope_;
    } else {
      --holdCounter_;
    }

    const double levelDb = 20.0 * FastLog10(std::max(envelope_, kLevelFloor));
    const double target = TargetGain(levelDb, kThresholdSpanDb * amount_ + kThresholdAtZeroDb);
    gain_ += (target - gain_) * (target > gain_ ? attackCoefficient_ : releaseCoefficient_);

    right[i] = gain_ * lineRight_[readPosition];
    left[i] = gain_ * lineLeft_[readPosition];
    if (++writePosition_ == lineLength) {
      writePosition_ = 0;
    }
  }
}

void GateBlock::Reset() {
  std::fill(lineLeft_.begin(), lineLeft_.end(), 0.0);
  std::fill(lineRight_.begin(), lineRight_.end(), 0.0);
  sideChainLeft_.Clear();
  sideChainRight_.Clear();
  gain_ = 1.0;
  writePosition_ = 0;
  envelope_ = 0.0;
  holdCounter_ = 0;
}

void GateBlock::Release() {
  std::vector<double>().swap(lineLeft_);
  std::vector<double>().swap(lineRight_);
}

}  // namespace tarnwell::dsp
