#include <gtest/gtest.h>

#include <cmath>
#include <cstdint>
#include <vector>

#include "rack/dsp/gate_block.h"
#include "rack/dsp/latency.h"
#include "rack_render.h"
#include "signals.h"

namespace {

constexpr double kHalfPi = 1.5707963267948966;

class GateLatency : public ::testing::TestWithParam<std::pair<double, std::int32_t>> {};

// A loud tone starting at its peak keeps the gate fully open from the first frame, so the output is
// exactly the input delayed by the look-ahead.
TEST_P(GateLatency, OpenGateDelaysByLookahead) {
  const auto [rate, expectedLatency] = GetParam();
  ASSERT_EQ(tarnwell::dsp::GateLookaheadSamples(rate), expectedLatency);
  tarnwell::dsp::GateBlock gate;
  gate.Prepare(rate);
  gate.SetAmount(0.0);
  const std::vector<double> input = Sine(1000.0, 0.5, rate, 4096, kHalfPi);
  std::vector<double> left = input;
  std::vector<double> right = input;
  ProcessInBlocks(left, right, 64, [&](double* l, double* r, std::int32_t n) { gate.Process(l, r, n); });
  for (std::size_t i = 0; i < input.size(); ++i) {
    const double expected =
        i < static_cast<std::size_t>(expectedLatency) ? 0.0 : input[i - static_cast<std::size_t>(expectedLatency)];
    ASSERT_EQ(left[i], expected) << "frame " << i;
    ASSERT_EQ(right[i], expected) << "frame " << i;
  }
}

INSTANTIATE_TEST_SUITE_P(Rates, GateLatency,
                         ::testing::Values(std::pair{48000.0, 48}, std::pair{44100.0, 44}, std::pair{8001.0, 8}));

struct GateLevelCase {
  double amount;
  double levelDbfs;
  double expectedGain;
  double tolerance;
};

class GateLevel : public ::testing::TestWithParam<GateLevelCase> {};

// Threshold -60 dB at amount 0 and -10 dB at amount 1, with a 4 dB knee. Closing runs at the release
// time: 200 ms at amount 0, so after 1 s the gain is e^-5; 10 ms at amount 1, so it is gone.
TEST_P(GateLevel, OpensAboveKneeAndClosesBelowIt) {
  const GateLevelCase& c = GetParam();
  constexpr double kRate = 48000.0;
  tarnwell::dsp::GateBlock gate;
  gate.Prepare(kRate);
  gate.SetAmount(c.amount);
  std::vector<double> left = Sine(1000.0, DbfsToAmplitude(c.levelDbfs), kRate, 48000);
  std::vector<double> right = left;
  ProcessInBlocks(left, right, 512, [&](double* l, double* r, std::int32_t n) { gate.Process(l, r, n); });
  EXPECT_NEAR(gate.Gain(), c.expectedGain, c.tolerance);
}

INSTANTIATE_TEST_SUITE_P(Levels, GateLevel,
                         ::testing::Values(GateLevelCase{0.0, -55.0, 1.0, 1e-9},
                                           GateLevelCase{0.0, -63.0, std::exp(-5.0), 2e-4},
                                           GateLevelCase{1.0, -6.0, 1.0, 1e-9}, GateLevelCase{1.0, -14.0, 0.0, 1e-9}));

TEST(Gate, DoesNothingBeforePrepare) {
  tarnwell::dsp::GateBlock gate;
  gate.SetAmount(1.0);
  std::vector<double> left = Noise(0.01, 256, 5);
  std::vector<double> right = left;
  const std::vector<double> input = left;
  gate.Process(left.data(), right.data(), 256);
  EXPECT_EQ(left, input);
  EXPECT_EQ(right, input);
}

}  // namespace
