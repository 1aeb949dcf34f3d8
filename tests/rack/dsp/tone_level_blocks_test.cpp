#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <vector>

#include "bay_render.h"
#include "rack/dsp/dsp_math.h"
#include "rack/dsp/engine.h"
#include "rack/dsp/trimmer_block.h"
#include "rack_render.h"
#include "signals.h"

using namespace tarnwell::dsp;

namespace {

constexpr double kRate = 48000.0;
constexpr std::int32_t kTwoSeconds = 96000;

StereoSignal DecorrelatedNoise(std::int32_t frames) {
  return {Sum(Sine(150.0, 0.3, kRate, frames), Noise(0.3, frames, 31)), Noise(0.4, frames, 32)};
}

double PeakMagnitude(const std::vector<double>& signal) {
  double peak = 0.0;
  for (double x : signal) {
    peak = std::max(peak, std::fabs(x));
  }
  return peak;
}

// ---- Bypass paths -------------------------------------------------------------------------------

struct BypassCase {
  const char* name;
  EffectType type;
  double amount;
  std::int32_t character;
};

class ToneBlockBypass : public ::testing::TestWithParam<BypassCase> {};

// Presence below 0.01, Tilt at its flat middle, Width's side-band mode at 0 and a Trimmer at 0 dB
// hand every sample back unchanged, on channels that differ.
TEST_P(ToneBlockBypass, IsBitExact) {
  const BypassCase& c = GetParam();
  const StereoSignal input = DecorrelatedNoise(kRate);
  const StereoSignal output = RenderFreshEngine(SingleBaySettings(c.type, c.amount, c.character), input);
  EXPECT_EQ(output.left, input.left);
  EXPECT_EQ(output.right, input.right);
}

INSTANTIATE_TEST_SUITE_P(Cases, ToneBlockBypass,
                         ::testing::Values(BypassCase{"Presence", EffectType::Presence, 0.0099, 0},
                                           BypassCase{"TiltFlat", EffectType::Tilt, 0.5, 0},
                                           BypassCase{"WidthSideBand", EffectType::Width, 0.0, 0},
                                           BypassCase{"TrimmerUnity", EffectType::Trimmer, 0.5, 0}),
                         [](const auto& info) { return std::string(info.param.name); });

// ---- Presence -----------------------------------------------------------------------------------

// The lift backs off as the band's own envelope rises: nearly the full 7 dB (plus shelf, dip and
// saturation) on a quiet band, far less on a loud one.
TEST(Presence, LiftBacksOffOnLoudBand) {
  const std::vector<double> quiet = Sine(3500.0, DbfsToAmplitude(-60.0), kRate, kTwoSeconds);
  const std::vector<double> loud = Sine(3500.0, DbfsToAmplitude(-6.0), kRate, kTwoSeconds);
  const double quietLiftDb = SteadyToneGainDb(quiet, RenderOneBay(quiet, EffectType::Presence, 1.0), 3500.0, kRate);
  const double loudLiftDb = SteadyToneGainDb(loud, RenderOneBay(loud, EffectType::Presence, 1.0), 3500.0, kRate);
  EXPECT_NEAR(quietLiftDb, 11.1, 0.2);
  EXPECT_NEAR(loudLiftDb, 3.4, 0.2);
}

// ---- Tilt ---------------------------------------------------------------------------------------

struct TiltCase {
  double amount;
  double frequency;
  double expectedDb;
};

class TiltResponse : public ::testing::TestWithParam<TiltCase> {};

// Shelves at 700 Hz with opposite gains: the full tilt far from 700 Hz, half of each (cancelling) at it.
TEST_P(TiltResponse, SteadyGain) {
  const TiltCase& c = GetParam();
  const std::vector<double> input = Sine(c.frequency, 0.25, kRate, kTwoSeconds);
  EXPECT_NEAR(SteadyToneGainDb(input, RenderOneBay(input, EffectType::Tilt, c.amount), c.frequency, kRate),
              c.expectedDb, 0.1);
}

INSTANTIATE_TEST_SUITE_P(Cases, TiltResponse,
                         ::testing::Values(TiltCase{1.0, 30.0, -3.0}, TiltCase{1.0, 700.0, 0.0},
                                           TiltCase{1.0, 16000.0, 3.0}, TiltCase{0.0, 30.0, 3.0},
                                           TiltCase{0.0, 16000.0, -3.0}, TiltCase{0.75, 16000.0, 1.5}));

// ---- Width --------------------------------------------------------------------------------------

class WidthMono : public ::testing::TestWithParam<std::int32_t> {};

// With identical channels the high-band mode has no side to widen: only the 1 Hz DC blocker acts.
TEST_P(WidthMono, HighBandModePassesCentredSignalAtUnitGain) {
  for (double frequency : {60.0, 1000.0, 12000.0}) {
    const std::vector<double> input = Sine(frequency, 0.25, kRate, kTwoSeconds);
    const std::vector<double> output = RenderOneBay(input, EffectType::Width, 1.0, GetParam());
    EXPECT_NEAR(SteadyToneGainDb(input, output, frequency, kRate), 0.0, 0.01) << frequency << " Hz";
  }
}

INSTANTIATE_TEST_SUITE_P(Characters, WidthMono, ::testing::Values(1, 7, 15));

struct WidthCase {
  std::int32_t character;
  double amount;
  double expectedSideGain;
};

class WidthSide : public ::testing::TestWithParam<WidthCase> {};

// A strong 1 kHz mid with a weak 3 kHz side: the mid passes, the side is widened to the mode's limit
// (1.9 for the side-band mode, 1.4 for the high-band mode, 1 just above the side-band bypass).
TEST_P(WidthSide, WidensWeakSideToItsLimit) {
  const WidthCase& c = GetParam();
  const std::vector<double> mid = Sine(1000.0, 0.4, kRate, kTwoSeconds);
  const std::vector<double> side = Sine(3000.0, 0.04, kRate, kTwoSeconds);
  StereoSignal input{mid, mid};
  for (std::size_t i = 0; i < mid.size(); ++i) {
    input.left[i] += side[i];
    input.right[i] -= side[i];
  }
  const StereoSignal output = RenderFreshEngine(SingleBaySettings(EffectType::Width, c.amount, c.character), input);
  std::vector<double> outMid(mid.size());
  std::vector<double> outSide(mid.size());
  for (std::size_t i = 0; i < mid.size(); ++i) {
    outMid[i] = (output.left[i] + output.right[i]) / 2.0;
    outSide[i] = (output.left[i] - output.right[i]) / 2.0;
  }
  EXPECT_NEAR(SteadyToneGainDb(mid, outMid, 1000.0, kRate), 0.0, 0.01);
  EXPECT_NEAR(SteadyToneGainDb(side, outSide, 3000.0, kRate), AmplitudeToDb(c.expectedSideGain), 0.05);
}

INSTANTIATE_TEST_SUITE_P(Cases, WidthSide,
                         ::testing::Values(WidthCase{0, 1.0, 1.9}, WidthCase{0, 0.0002, 1.0}, WidthCase{3, 1.0, 1.4}));

// Just above its bypass the side-band mode keeps the side above 214 Hz and drops it below.
TEST(Width, SideBandModeRemovesLowSide) {
  const std::vector<double> side = Sine(50.0, 0.2, kRate, kTwoSeconds);
  std::vector<double> inverted(side.size());
  std::transform(side.begin(), side.end(), inverted.begin(), [](double x) { return -x; });
  const StereoSignal output = RenderFreshEngine(SingleBaySettings(EffectType::Width, 0.0002, 0), {side, inverted});
  EXPECT_LT(SteadyToneGainDb(side, output.left, 50.0, kRate), -20.0);
}

// ---- Trimmer ------------------------------------------------------------------------------------

class TrimmerGain : public ::testing::TestWithParam<std::pair<double, double>> {};

// The first block ramps from the bay's previous gain; from the second block on the gain is the target.
TEST_P(TrimmerGain, SecondBlockRunsAtTargetGain) {
  const auto [amount, expectedGain] = GetParam();
  const std::vector<double> input = Noise(0.01, 1024, 41);
  const std::vector<double> output = RenderOneBay(input, EffectType::Trimmer, amount);
  for (std::size_t i = 512; i < input.size(); ++i) {
    ASSERT_NEAR(output[i], expectedGain * input[i], 1e-7 * std::fabs(input[i])) << "frame " << i;
  }
}

INSTANTIATE_TEST_SUITE_P(Limits, TrimmerGain,
                         ::testing::Values(std::pair{0.0, 0.0630957344480193}, std::pair{0.5, 1.0},
                                           std::pair{1.0, 15.848931924611133}));

// A change ramps geometrically across exactly one block and the next block starts on the target.
TEST(Trimmer, ChangeRampsOverOneBlock) {
  TrimmerBlock trimmer;
  trimmer.SetAmount(0.5);
  trimmer.Reset();
  trimmer.SetAmount(1.0);
  std::vector<double> ones(64, 1.0);
  trimmer.Process(ones.data(), ones.data(), 32);
  EXPECT_EQ(ones[0], 1.0);
  const double ratio = std::pow(DbToGain(24.0), 1.0 / 32.0);
  for (std::size_t i = 1; i < 32; ++i) {
    ASSERT_NEAR(ones[i] / ones[i - 1], ratio, 1e-12) << "frame " << i;
  }
  trimmer.Process(ones.data() + 32, ones.data() + 32, 32);
  for (std::size_t i = 32; i < 64; ++i) {
    ASSERT_EQ(ones[i], DbToGain(24.0)) << "frame " << i;
  }
}

// ---- Clip ---------------------------------------------------------------------------------------

// Below the ceiling the limiter gain stays exactly 1: the output is the driven input, L frames late,
// with L the latency the engine reports.
TEST(Clip, FullDriveIsExactGainAfterLatency) {
  RackEngine engine;
  engine.Prepare(kRate);
  const EngineSettings settings = SingleBaySettings(EffectType::Clip, 1.0);
  ASSERT_EQ(engine.LatencySamples(settings), 72);
  const std::vector<double> input = Sine(1000.0, 0.01, kRate, 4800);
  std::vector<double> output = input;
  RenderMono(engine, output, settings, 64);
  for (std::size_t i = 0; i < input.size(); ++i) {
    const double expected = i < 72 ? 0.0 : DbToGain(24.0) * input[i - 72];
    ASSERT_EQ(output[i], expected) << "frame " << i;
  }
}

TEST(Clip, NeverExceedsCeiling) {
  const std::vector<double> fullScale = Sine(100.0, 1.0, kRate, kRate);
  const std::vector<double> undriven = RenderOneBay(fullScale, EffectType::Clip, 0.0);
  EXPECT_LE(PeakMagnitude(undriven), 0.9661);
  EXPECT_GT(PeakMagnitude(undriven), 0.95);
  const std::vector<double> bursts = Noise(1.0, kRate, 42);
  EXPECT_LE(PeakMagnitude(RenderOneBay(bursts, EffectType::Clip, 1.0)), 0.9661);
}

// ---- Unclamped amounts --------------------------------------------------------------------------

class UnclampedAmount : public ::testing::TestWithParam<EffectType> {};

// Tilt, Trimmer and Delay follow the amount beyond 0..1; a NaN is refused as their neutral amount and
// absurd values are held where the audio stays finite.
TEST_P(UnclampedAmount, HostileValuesStayHarmless) {
  const std::vector<double> input = Sum(Sine(300.0, 0.3, kRate, 24000), Noise(0.2, 24000, 43));
  EXPECT_EQ(RenderOneBay(input, GetParam(), std::nan("")), input);
  for (double amount : {1e300, -1e300, HUGE_VAL, -HUGE_VAL}) {
    EXPECT_TRUE(AllFinite(RenderOneBay(input, GetParam(), amount))) << "amount " << amount;
  }
}

INSTANTIATE_TEST_SUITE_P(Types, UnclampedAmount,
                         ::testing::Values(EffectType::Tilt, EffectType::Trimmer, EffectType::Delay));

}  // namespace
