#include <gtest/gtest.h>

#include <cstdint>
#include <numeric>
#include <vector>

#include "rack/dsp/glue_block.h"
#include "rack_render.h"
#include "signals.h"

using tarnwell::dsp::GlueBlock;

namespace {

constexpr double kRate = 48000.0;

std::vector<double> RenderGlueMono(GlueBlock& glue, const std::vector<double>& input) {
  std::vector<double> left = input;
  std::vector<double> right = input;
  ProcessInBlocks(left, right, 512, [&](double* l, double* r, std::int32_t n) { glue.Process(l, r, n); });
  return left;
}

TEST(Glue, AmountZeroLeavesAudioBitExact) {
  GlueBlock glue;
  glue.Prepare(kRate);
  glue.SetAmount(0.0);
  const std::vector<double> input = Sum(Sine(1000.0, 0.5, kRate, 48000), Noise(0.3, 48000, 4));
  EXPECT_EQ(RenderGlueMono(glue, input), input);
}

class GlueLoudness : public ::testing::TestWithParam<double> {};

// Whatever the leveller, shelves and clip do to a steady tone, loudness matching hands it back at the
// input power.
TEST_P(GlueLoudness, SteadyToneKeepsItsLevel) {
  GlueBlock glue;
  glue.Prepare(kRate);
  glue.SetAmount(1.0);
  const std::vector<double> input = Sine(1000.0, DbfsToAmplitude(GetParam()), kRate, 3 * 48000);
  const std::vector<double> output = RenderGlueMono(glue, input);
  EXPECT_NEAR(SteadyToneGainDb(input, output, 1000.0, kRate), 0.0, 0.05);
  EXPECT_GE(glue.MatchGain(), 0.25);
  EXPECT_LE(glue.MatchGain(), 4.0);
}

INSTANTIATE_TEST_SUITE_P(Levels, GlueLoudness, ::testing::Values(-30.0, -12.0, -3.0));

TEST(Glue, MatchGainStaysWithinLimitsOnExtremeSignals) {
  GlueBlock glue;
  glue.Prepare(kRate);
  glue.SetAmount(1.0);
  // Full-scale bursts against near-silence drive the power ratio far past both limits.
  std::vector<double> input = Noise(1.0, 96000, 8);
  for (std::size_t i = 0; i < input.size(); ++i) {
    if ((i / 4800) % 2 == 1) {
      input[i] *= 1e-4;
    }
  }
  std::vector<double> left = input;
  std::vector<double> right = input;
  ProcessInBlocks(left, right, 32, [&](double* l, double* r, std::int32_t n) {
    glue.Process(l, r, n);
    ASSERT_GE(glue.MatchGain(), 0.25);
    ASSERT_LE(glue.MatchGain(), 4.0);
  });
}

// The detector starts at full scale after a reset, so the leveller pulls the first ~100 ms down; a
// reference model of this design reads -3.2 dB at 50 ms.
TEST(Glue, OutputDipsBrieflyAfterReset) {
  GlueBlock glue;
  glue.Prepare(kRate);
  glue.SetAmount(1.0);
  const std::vector<double> input = Sine(1000.0, DbfsToAmplitude(-20.0), kRate, 48000);
  const std::vector<double> output = RenderGlueMono(glue, input);
  const std::int32_t periodEndingAt50ms = 2400 - 48;
  EXPECT_NEAR(AmplitudeToDb(ToneAmplitude(output, 1000.0, kRate, periodEndingAt50ms, 48) /
                            ToneAmplitude(input, 1000.0, kRate, periodEndingAt50ms, 48)),
              -3.2, 0.3);
  EXPECT_NEAR(SteadyToneGainDb(input, output, 1000.0, kRate, 0.2), 0.0, 0.1);
}

TEST(Glue, RemovesDcOffset) {
  GlueBlock glue;
  glue.Prepare(kRate);
  glue.SetAmount(1.0);
  std::vector<double> input = Sine(1000.0, 0.2, kRate, 2 * 48000);
  for (double& x : input) {
    x += 0.1;
  }
  const std::vector<double> output = RenderGlueMono(glue, input);
  const double mean = std::accumulate(output.end() - 48000, output.end(), 0.0) / 48000.0;
  EXPECT_LT(std::fabs(mean), 1e-4);
}

}  // namespace
