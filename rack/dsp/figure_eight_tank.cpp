#include "rack/dsp/figure_eight_tank.h"

#include <algorithm>
#include <cmath>

#include "rack/dsp/dsp_math.h"
#include "rack/dsp/fast_math.h"

namespace tarnwell::dsp {

namespace {

constexpr double kReferenceRate = 44100.0;
constexpr double kLfoHz = 0.5;
constexpr double kOutputGain = 0.6;
constexpr double kLoopAllpassGain = 0.5;
constexpr double kModulatedShare = 0.5;
constexpr std::array<double, 4> kLeftLengths = {672.0, 4453.0, 1800.0, 3720.0};
constexpr std::array<double, 4> kRightLengths = {908.0, 4217.0, 2656.0, 3163.0};
constexpr std::int32_t kLinePad = 16;
constexpr std::int32_t kShortestLine = 4;
// Extra delay of the modulated reads, in samples.
constexpr double kReadPad = 2.0;

// Line index in a half, and the tap delays at 44.1 kHz of one side's output.
enum LineIndex : std::size_t { kModulated = 0, kLong = 1, kAllpass = 2, kLast = 3 };
constexpr std::array<double, 7> kTapDelays = {266.0, 2974.0, 1913.0, 1996.0, 1990.0, 187.0, 1066.0};

}  // namespace

void FigureEightTank::Prepare(double sampleRate) {
  scale_ = sampleRate / kReferenceRate;
  phaseStep_ = kLfoHz / sampleRate;
  diffusers_.Prepare(scale_);
  for (std::size_t i = 0; i < kLeftLengths.size(); ++i) {
    left_.lines[i].Resize(ScaledLength(kLeftLengths[i], scale_, kLinePad, kShortestLine));
    right_.lines[i].Resize(ScaledLength(kRightLengths[i], scale_, kLinePad, kShortestLine));
  }
  left_.readBase = kLeftLengths[kModulated] * scale_ + kReadPad;
  right_.readBase = kRightLengths[kModulated] * scale_ + kReadPad;

  // Some taps are longer than their line at the reference rate; taking them round the line is what
  // a ring read would do, and keeps every read inside it.
  const auto tap = [this](bool rightHalf, std::size_t line, std::size_t index, double sign) {
    const Half& half = rightHalf ? right_ : left_;
    const auto delay = static_cast<std::int32_t>(kTapDelays[index] * scale_) % half.lines[line].Length();
    return Tap{rightHalf, line, delay, sign};
  };
  constexpr bool kL = false;
  constexpr bool kR = true;
  leftTaps_ = {tap(kL, kLong, 0, 1.0),  tap(kL, kLong, 1, 1.0),     tap(kL, kAllpass, 2, -1.0), tap(kL, kLast, 3, 1.0),
               tap(kR, kLong, 4, -1.0), tap(kR, kAllpass, 5, -1.0), tap(kR, kLast, 6, 1.0)};
  rightTaps_ = {tap(kR, kLast, 0, 1.0),  tap(kR, kLast, 1, 1.0),     tap(kR, kAllpass, 2, -1.0), tap(kR, kLong, 3, 1.0),
                tap(kL, kLong, 4, -1.0), tap(kL, kAllpass, 5, -1.0), tap(kL, kLast, 6, 1.0)};
  Reset();
}

void FigureEightTank::Release() {
  diffusers_.Release();
  for (Half* half : {&left_, &right_}) {
    ReleaseLines(half->lines);
  }
}

void FigureEightTank::Reset() {
  diffusers_.Clear();
  for (Half* half : {&left_, &right_}) {
    ClearLines(half->lines);
    half->damper = 0.0;
    half->feedback = 0.0;
  }
}

void FigureEightTank::SkipFrames(std::int64_t frames) {
  phase_ += std::fmod(static_cast<double>(frames) * phaseStep_, 1.0);
  phase_ -= phase_ >= 1.0 ? 1.0 : 0.0;
}

double FigureEightTank::RunHalf(Half& half, double input, double crossFeedback, double readOffset, double decay,
                                double damping) {
  const double modulated = ReadCubic(half.lines[kModulated], half.readBase + readOffset);
  const double fed = decay * crossFeedback + input + kModulatedShare * modulated;
  half.lines[kModulated].Push(fed);
  const double delayed = half.lines[kLong].Step(modulated - kModulatedShare * fed);
  half.damper = (1.0 - damping) * delayed + damping * half.damper;
  const double diffused = AllpassStep(half.lines[kAllpass], half.damper, kLoopAllpassGain);
  half.feedback = half.lines[kLast].Step(diffused);
  return half.feedback;
}

double FigureEightTank::ReadTaps(const std::array<Tap, 7>& taps) const {
  double sum = 0.0;
  for (const Tap& tap : taps) {
    sum += tap.sign * (tap.rightHalf ? right_ : left_).lines[tap.line].Tap(tap.delay);
  }
  return sum * kOutputGain;
}

StereoSample FigureEightTank::Process(double x, double decay, double damping, double modulationDepth) {
  x = diffusers_.Run(x);
  const double excursion = scale_ * modulationDepth * (0.5 * FastSinCos(kTwoPi * phase_).sine + 0.5);
  phase_ += phaseStep_;
  phase_ -= phase_ >= 1.0 ? 1.0 : 0.0;
  // The left half runs first, so the right half already hears this frame's left feedback.
  RunHalf(left_, x, right_.feedback, excursion, decay, damping);
  RunHalf(right_, x, left_.feedback, -excursion, decay, damping);
  return {ReadTaps(leftTaps_), ReadTaps(rightTaps_)};
}

}  // namespace tarnwell::dsp
