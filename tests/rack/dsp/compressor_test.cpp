#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <vector>

#include "rack_render.h"
#include "signals.h"

namespace {

constexpr double kRate = 48000.0;

std::vector<double> RenderCompressorMono(const std::vector<double>& input, double amount, std::int32_t character,
                                         std::int32_t blockSize = 64) {
  tarnwell::dsp::RackEngine engine;
  engine.Prepare(kRate);
  std::vector<double> output = input;
  RenderMono(engine, output, SingleBaySettings(tarnwell::dsp::EffectType::Compressor, amount, character), blockSize);
  return output;
}

TEST(Compressor, AmountBelowBypassLeavesAudioBitExact) {
  const std::vector<double> input = Sum(Sine(1000.0, 0.5, kRate, 48000), Noise(0.2, 48000, 2));
  EXPECT_EQ(RenderCompressorMono(input, 0.0009, 1), input);
}

struct SteadyCase {
  std::int32_t character;
  double levelDbfs;
  double expectedGainDb;
};

class CompressorSteadyTone : public ::testing::TestWithParam<SteadyCase> {};

// The make-up cancels the averaged gain change and adds 1 dB, so a steady tone comes out +1 dB at any
// level. Character 0's saturation scales small signals by 0.9 + 0.1 h (1 + 0.3 h), about -0.71 dB at
// amount 1, hence +0.29 dB there.
TEST_P(CompressorSteadyTone, ComesOutOneDbUp) {
  const SteadyCase& c = GetParam();
  const std::vector<double> input = Sine(1000.0, DbfsToAmplitude(c.levelDbfs), kRate, 3 * 48000);
  const std::vector<double> output = RenderCompressorMono(input, 1.0, c.character);
  EXPECT_NEAR(SteadyToneGainDb(input, output, 1000.0, kRate), c.expectedGainDb, 0.05);
}

INSTANTIATE_TEST_SUITE_P(Characters, CompressorSteadyTone,
                         ::testing::Values(SteadyCase{0, -80.0, 0.29}, SteadyCase{1, -80.0, 1.0},
                                           SteadyCase{1, -30.0, 1.0}, SteadyCase{1, -10.0, 1.0},
                                           SteadyCase{2, -20.0, 1.0}, SteadyCase{3, -20.0, 1.0}));

// A jump from -40 to -10 dBFS is caught within milliseconds and then slowly handed back to the make-up.
TEST(Compressor, LoudStepDipsThenRecoversToMakeup) {
  constexpr std::int32_t kStep = 48000;
  std::vector<double> input = Sine(1000.0, DbfsToAmplitude(-40.0), kRate, 2 * 48000);
  for (std::size_t i = kStep; i < input.size(); ++i) {
    input[i] *= DbfsToAmplitude(30.0);
  }
  const std::vector<double> output = RenderCompressorMono(input, 1.0, 1);

  // One 1 kHz period ending 20 ms after the step.
  const std::int32_t window = 48;
  const std::int32_t at20ms = kStep + 960 - window;
  const double dipDb = AmplitudeToDb(ToneAmplitude(output, 1000.0, kRate, at20ms, window) /
                                     ToneAmplitude(input, 1000.0, kRate, at20ms, window));
  // A reference model of this design gives about -17 dB here.
  EXPECT_NEAR(dipDb, -17.0, 1.0);

  const std::int32_t lastHalfSecond = 24000;
  const auto tail = static_cast<std::int32_t>(input.size()) - lastHalfSecond;
  const double recoveredDb = AmplitudeToDb(ToneAmplitude(output, 1000.0, kRate, tail, lastHalfSecond) /
                                           ToneAmplitude(input, 1000.0, kRate, tail, lastHalfSecond));
  EXPECT_NEAR(recoveredDb, 1.0, 0.1);
}

// Character 2 expands its gain change before averaging it for the make-up, so after a loud passage the
// make-up briefly overshoots: a reference model of this design peaks at +8.3 dB.
TEST(Compressor, CharacterTwoOvershootsAfterLoudToQuietStep) {
  constexpr std::int32_t kStep = 48000;
  std::vector<double> input = Sine(1000.0, DbfsToAmplitude(-10.0), kRate, 3 * 48000);
  for (std::size_t i = kStep; i < input.size(); ++i) {
    input[i] *= DbfsToAmplitude(-30.0);
  }
  const std::vector<double> output = RenderCompressorMono(input, 1.0, 2);
  double highestDb = -100.0;
  for (std::int32_t start = kStep; start + 48 <= static_cast<std::int32_t>(output.size()); start += 48) {
    highestDb = std::max(highestDb, AmplitudeToDb(ToneAmplitude(output, 1000.0, kRate, start, 48) /
                                                  ToneAmplitude(input, 1000.0, kRate, start, 48)));
  }
  EXPECT_NEAR(highestDb, 8.3, 0.3);
}

class CompressorCharacterClamp : public ::testing::TestWithParam<std::pair<std::int32_t, std::int32_t>> {};

TEST_P(CompressorCharacterClamp, OutOfRangeActsAsNearestCharacter) {
  const auto [outside, nearest] = GetParam();
  const std::vector<double> input = Sum(Sine(200.0, 0.3, kRate, 24000), Noise(0.3, 24000, 9));
  EXPECT_EQ(RenderCompressorMono(input, 0.8, outside), RenderCompressorMono(input, 0.8, nearest));
}

INSTANTIATE_TEST_SUITE_P(Characters, CompressorCharacterClamp,
                         ::testing::Values(std::pair{7, 3}, std::pair{15, 3}, std::pair{-2, 0}));

}  // namespace
