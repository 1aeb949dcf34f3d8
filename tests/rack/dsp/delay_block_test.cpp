#include <gtest/gtest.h>

#include <cstdint>
#include <ostream>
#include <vector>

#include "bay_render.h"
#include "rack/dsp/engine.h"
#include "rack_render.h"
#include "signals.h"

namespace {

constexpr double kRate = 48000.0;
// The engine's longest delay line at 48 kHz: 2.5 seconds.
constexpr std::int32_t kLineLength = 120000;

tarnwell::dsp::EngineSettings DelaySettings(double tempoBpm, std::int32_t character, double amount) {
  tarnwell::dsp::EngineSettings settings = SingleBaySettings(tarnwell::dsp::EffectType::Delay, amount, character);
  settings.tempoBpm = tempoBpm;
  return settings;
}

std::int32_t FirstNonZeroAfterStart(const std::vector<double>& signal) {
  for (std::size_t i = 1; i < signal.size(); ++i) {
    if (signal[i] != 0.0) {
      return static_cast<std::int32_t>(i);
    }
  }
  return -1;
}

struct EchoCase {
  double tempoBpm;
  std::int32_t character;
  std::int32_t expectedDelay;
};

void PrintTo(const EchoCase& c, std::ostream* out) { *out << c.tempoBpm << " BPM, character " << c.character; }

class DelayEchoTime : public ::testing::TestWithParam<EchoCase> {};

// An impulse comes back exactly one delay later on the left, and 20 ms (the spread at amount 1) later
// again on the right, as long as the right tap stays inside the line.
TEST_P(DelayEchoTime, ImpulseReturnsAfterNoteLength) {
  const EchoCase& c = GetParam();
  const std::int32_t expectedRight = std::min(c.expectedDelay + 960, kLineLength - 1);
  StereoSignal impulse{std::vector<double>(static_cast<std::size_t>(expectedRight) + 1, 0.0),
                       std::vector<double>(static_cast<std::size_t>(expectedRight) + 1, 0.0)};
  impulse.left[0] = 1.0;
  impulse.right[0] = 1.0;
  const StereoSignal output = RenderFreshEngine(DelaySettings(c.tempoBpm, c.character, 1.0), impulse);
  EXPECT_EQ(FirstNonZeroAfterStart(output.left), c.expectedDelay);
  EXPECT_EQ(FirstNonZeroAfterStart(output.right), expectedRight);
}

// Whole note and beat at 120 BPM; a whole note at 60 BPM (and at 96 BPM, where the right tap would
// otherwise wrap round to 958 samples) is held to the line; tempo held to 20..300 BPM; characters
// outside the table take one beat.
INSTANTIATE_TEST_SUITE_P(Cases, DelayEchoTime,
                         ::testing::Values(EchoCase{120.0, 5, 24000}, EchoCase{120.0, 0, 96000},
                                           EchoCase{60.0, 0, kLineLength - 2}, EchoCase{96.0, 0, kLineLength - 2},
                                           EchoCase{20.0, 14, 18000}, EchoCase{10.0, 14, 18000},
                                           EchoCase{400.0, 5, 9600}, EchoCase{120.0, 19, 24000},
                                           EchoCase{120.0, -1, 24000}, EchoCase{120.0, 18, 1000}));

TEST(Delay, AmountZeroIsBitExactFromFirstFrame) {
  const StereoSignal input{Noise(0.5, 48000, 51), Noise(0.5, 48000, 52)};
  const StereoSignal output = RenderFreshEngine(DelaySettings(120.0, 8, 0.0), input, kRate, 64);
  EXPECT_EQ(output.left, input.left);
  EXPECT_EQ(output.right, input.right);
}

// At amount 1 the first echo comes back at full level beside the dry signal and each further echo
// at the feedback of 0.7; a 500 Hz tone lies well inside the 6 kHz tone filters and above the
// wet path's 5 Hz high-pass.
TEST(Delay, EchoesRepeatAtFeedbackLevel) {
  constexpr std::int32_t kHalfBeat = 12000;  // character 8 at 120 BPM
  std::vector<double> burst = Sine(500.0, 0.5, kRate, 4 * kHalfBeat);
  std::fill(burst.begin() + 4800, burst.end(), 0.0);
  const std::vector<double> output = RenderOneBay(burst, tarnwell::dsp::EffectType::Delay, 1.0, 8);
  const double dry = ToneAmplitude(burst, 500.0, kRate, 960, 2880);
  EXPECT_NEAR(ToneAmplitude(output, 500.0, kRate, kHalfBeat + 960, 2880) / dry, 1.0, 0.02);
  EXPECT_NEAR(ToneAmplitude(output, 500.0, kRate, 2 * kHalfBeat + 960, 2880) / dry, 0.7, 0.02);
  EXPECT_NEAR(ToneAmplitude(output, 500.0, kRate, 3 * kHalfBeat + 960, 2880) / dry, 0.49, 0.02);
}

// Set to 0 the mix fades out; once it is below 1e-6 the block stops writing its lines, so the tail
// stops and the audio passes untouched.
TEST(Delay, AmountZeroStopsTheTail) {
  tarnwell::dsp::RackEngine engine;
  engine.Prepare(kRate);
  StereoSignal echoing{Noise(0.5, 24000, 53), Noise(0.5, 24000, 54)};
  RenderStereo(engine, echoing, DelaySettings(120.0, 11, 1.0), 256);

  const StereoSignal input{Noise(0.5, 48000, 55), Noise(0.5, 48000, 56)};
  StereoSignal output = input;
  RenderStereo(engine, output, DelaySettings(120.0, 11, 0.0), 256);
  for (std::size_t i = 24000; i < input.left.size(); ++i) {
    ASSERT_EQ(output.left[i], input.left[i]) << "frame " << i;
    ASSERT_EQ(output.right[i], input.right[i]) << "frame " << i;
  }
  EXPECT_NE(output.left[100], input.left[100]);
}

}  // namespace
