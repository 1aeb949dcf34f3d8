#include <gtest/gtest.h>

#include <cmath>
#include <cstdint>
#include <limits>
#include <string>
#include <vector>

#include "rack/dsp/engine.h"
#include "rack_render.h"
#include "signals.h"

using namespace tarnwell::dsp;

namespace {

constexpr double kRate = 48000.0;
constexpr std::int32_t kGate = static_cast<std::int32_t>(EffectType::Gate);
constexpr std::int32_t kCompressor = static_cast<std::int32_t>(EffectType::Compressor);
constexpr std::int32_t kGlue = static_cast<std::int32_t>(EffectType::Glue);
constexpr std::int32_t kEmpty = static_cast<std::int32_t>(EffectType::Empty);

StereoSignal NoiseSignal(std::int32_t frames) { return {Noise(0.5, frames, 1), Noise(0.5, frames, 2)}; }

EngineSettings NoSafety() {
  EngineSettings settings;
  settings.safety = false;
  return settings;
}

// Gate, Compressor and Glue: every detector that links the channels is in it.
EngineSettings DynamicsChain() {
  EngineSettings settings = NoSafety();
  settings.bays[0] = {true, false, kGate, 0, 0.3};
  settings.bays[1] = {true, false, kCompressor, 2, 0.8};
  settings.bays[2] = {true, false, kGlue, 0, 1.0};
  return settings;
}

StereoSignal RenderFresh(const EngineSettings& settings, StereoSignal signal, std::int32_t blockSize = 64) {
  RackEngine engine;
  engine.Prepare(kRate);
  RenderStereo(engine, signal, settings, blockSize);
  return signal;
}

TEST(RackEngine, EmptyRackAtUnityGainIsBitExact) {
  const StereoSignal input = NoiseSignal(8192);
  for (std::int32_t blockSize : {64, 512}) {
    const StereoSignal output = RenderFresh(NoSafety(), input, blockSize);
    EXPECT_EQ(output.left, input.left) << "block " << blockSize;
    EXPECT_EQ(output.right, input.right) << "block " << blockSize;
  }
}

TEST(RackEngine, SafetyClipperIsTransparentBelowKneeOddMonotonicAndBounded) {
  RackEngine engine;
  engine.Prepare(kRate);
  EngineSettings settings;
  settings.safety = true;
  constexpr std::int32_t kFrames = 16001;
  std::vector<double> ramp(kFrames);
  // Built mirrored so that oddness can be checked sample by sample.
  for (std::int32_t i = 0; i <= kFrames / 2; ++i) {
    const double x = -8.0 + 16.0 * i / (kFrames - 1);
    ramp[static_cast<std::size_t>(i)] = x;
    ramp[static_cast<std::size_t>(kFrames - 1 - i)] = -x;
  }
  std::vector<double> output = ramp;
  RenderMono(engine, output, settings, 512);

  const double ceiling = DbfsToAmplitude(-1.0);
  for (std::int32_t i = 0; i < kFrames; ++i) {
    const double x = ramp[static_cast<std::size_t>(i)];
    const double y = output[static_cast<std::size_t>(i)];
    if (std::fabs(x) <= 0.6238757) {
      ASSERT_EQ(y, x) << "x " << x;
    }
    ASSERT_LE(std::fabs(y), ceiling) << "x " << x;
    if (std::fabs(x) <= 4.0) {
      ASSERT_LT(std::fabs(y), ceiling) << "x " << x;
    }
    ASSERT_EQ(y, -output[static_cast<std::size_t>(kFrames - 1 - i)]) << "x " << x;
    if (i > 0) {
      ASSERT_GE(y, output[static_cast<std::size_t>(i - 1)]) << "x " << x;
    }
  }

  std::vector<double> fullScale = {1.0, -1.0};
  RenderMono(engine, fullScale, settings, 2);
  EXPECT_NEAR(fullScale[0], 0.860983, 1e-6);
  EXPECT_EQ(fullScale[1], -fullScale[0]);
}

TEST(RackEngine, MonoEqualsLeftOfStereoWithIdenticalChannels) {
  EngineSettings settings = DynamicsChain();
  settings.inputGainDb = 6.0;
  const std::vector<double> input = Sum(Sine(440.0, 0.3, kRate, 24000), Noise(0.1, 24000, 3));

  const StereoSignal stereo = RenderFresh(settings, {input, input});
  RackEngine engine;
  engine.Prepare(kRate);
  std::vector<double> mono = input;
  RenderMono(engine, mono, settings, 64);
  EXPECT_EQ(mono, stereo.left);
}

TEST(RackEngine, InputGainRaisesMonoChannelOnce) {
  RackEngine engine;
  engine.Prepare(kRate);
  EngineSettings settings = NoSafety();
  settings.inputGainDb = 6.0;
  const std::vector<double> input = Noise(0.1, 1024, 4);
  std::vector<double> mono = input;
  RenderMono(engine, mono, settings, 256);
  for (std::size_t i = 0; i < input.size(); ++i) {
    ASSERT_EQ(mono[i], input[i] * std::pow(10.0, 6.0 / 20.0));
  }
}

struct SoloCase {
  std::string name;
  BayControl soloBay;
  bool othersMuted;
  std::int32_t expectedLatency;
};

class SoloRule : public ::testing::TestWithParam<SoloCase> {};

// Two gates (48 samples each) run in bays 1 and 2; bay 3 carries the solo switch.
TEST_P(SoloRule, OnlyActiveSoloedBaysMuteTheRest) {
  const SoloCase& c = GetParam();
  EngineSettings settings = NoSafety();
  settings.bays[0] = {true, false, kGate, 0, 0.2};
  settings.bays[1] = {true, false, kGate, 0, 0.6};
  settings.bays[2] = c.soloBay;

  EngineSettings expectedRack = settings;
  expectedRack.bays[2].solo = false;
  if (c.othersMuted) {
    expectedRack.bays[0].on = false;
    expectedRack.bays[1].on = false;
  }
  const StereoSignal input = NoiseSignal(9600);
  const StereoSignal output = RenderFresh(settings, input);
  const StereoSignal expected = RenderFresh(expectedRack, input);
  EXPECT_EQ(output.left, expected.left);
  EXPECT_EQ(output.right, expected.right);

  RackEngine engine;
  engine.Prepare(kRate);
  EXPECT_EQ(engine.LatencySamples(settings), c.expectedLatency);
}

INSTANTIATE_TEST_SUITE_P(Cases, SoloRule,
                         ::testing::Values(SoloCase{"SoloOnSwitchedOffBay", {false, true, kGate, 0, 0.5}, false, 96},
                                           SoloCase{"SoloOnEmptyBay", {true, true, kEmpty, 0, 0.5}, false, 96},
                                           SoloCase{"SoloOnActiveBay", {true, true, kGate, 0, 0.5}, true, 48}),
                         [](const ::testing::TestParamInfo<SoloCase>& info) { return info.param.name; });

struct TypeChangeCase {
  std::string name;
  BayControl between;
};

class TypeChange : public ::testing::TestWithParam<TypeChangeCase> {};

// After Gate, another type, Gate again, the gate starts from cleared state like a fresh one. The
// amount stays 0 so the smoothed amount, which survives resets on purpose, plays no part.
TEST_P(TypeChange, ResetsBayEvenWhileSwitchedOff) {
  EngineSettings gate = NoSafety();
  gate.bays[0] = {true, false, kGate, 0, 0.0};
  EngineSettings between = gate;
  between.bays[0] = GetParam().between;

  RackEngine engine;
  engine.Prepare(kRate);
  StereoSignal first = NoiseSignal(4800);
  StereoSignal second = NoiseSignal(4800);
  StereoSignal third = {Noise(0.3, 4800, 77), Noise(0.3, 4800, 78)};
  const StereoSignal thirdInput = third;
  RenderStereo(engine, first, gate, 64);
  RenderStereo(engine, second, between, 64);
  RenderStereo(engine, third, gate, 64);

  const StereoSignal fresh = RenderFresh(gate, thirdInput);
  EXPECT_EQ(third.left, fresh.left);
  EXPECT_EQ(third.right, fresh.right);
}

INSTANTIATE_TEST_SUITE_P(Cases, TypeChange,
                         ::testing::Values(TypeChangeCase{"ThroughCompressor", {true, false, kCompressor, 1, 0.7}},
                                           TypeChangeCase{"ThroughSwitchedOffGlue", {false, false, kGlue, 0, 0.7}},
                                           TypeChangeCase{"ThroughTypeOutOfRange", {true, false, 99, 0, 0.7}}),
                         [](const ::testing::TestParamInfo<TypeChangeCase>& info) { return info.param.name; });

struct RateCase {
  double requested;
  double expected;
  std::int32_t gateLatency;
};

class RateSubstitution : public ::testing::TestWithParam<RateCase> {};

TEST_P(RateSubstitution, UnusableRatesBecome48k) {
  RackEngine engine;
  engine.Prepare(GetParam().requested);
  EXPECT_EQ(engine.SampleRate(), GetParam().expected);
  EngineSettings settings;
  settings.bays[4] = {true, false, kGate, 0, 0.5};
  EXPECT_EQ(engine.LatencySamples(settings), GetParam().gateLatency);
}

INSTANTIATE_TEST_SUITE_P(Rates, RateSubstitution,
                         ::testing::Values(RateCase{0.0, 48000.0, 48},
                                           RateCase{std::numeric_limits<double>::quiet_NaN(), 48000.0, 48},
                                           RateCase{8000.0, 48000.0, 48},
                                           RateCase{std::numeric_limits<double>::infinity(), 48000.0, 48},
                                           RateCase{-44100.0, 48000.0, 48}, RateCase{8001.0, 8001.0, 8},
                                           RateCase{44100.0, 44100.0, 44}, RateCase{192000.0, 192000.0, 192}));

TEST(RackEngine, LatencyCountsOnlyActiveDelayingBays) {
  RackEngine engine;
  engine.Prepare(44100.0);
  EngineSettings settings = DynamicsChain();
  EXPECT_EQ(engine.LatencySamples(settings), 44);
  settings.bays[5] = {true, false, kGate, 7, 0.9};
  EXPECT_EQ(engine.LatencySamples(settings), 88);
  settings.bays[0].on = false;
  EXPECT_EQ(engine.LatencySamples(settings), 44);
  settings.bays[5].type = kCompressor;
  EXPECT_EQ(engine.LatencySamples(settings), 0);
}

TEST(RackEngine, ReadingsFollowPeaksAndGainReduction) {
  RackEngine engine;
  engine.Prepare(kRate);
  EngineSettings settings = NoSafety();
  settings.outputGainDb = -6.0;

  std::vector<double> tone = Sine(1000.0, 0.5, kRate, 480, 1.5707963267948966);
  RenderMono(engine, tone, settings, 480);
  EXPECT_DOUBLE_EQ(engine.InputPeak(), 0.5);
  EXPECT_DOUBLE_EQ(engine.OutputPeak(), 0.5 * std::pow(10.0, -6.0 / 20.0));
  EXPECT_NEAR(engine.GainReductionDb(), 6.0, 1e-9);

  std::vector<double> silence(480, 0.0);
  RenderMono(engine, silence, settings, 480);
  EXPECT_EQ(engine.InputPeak(), 0.0);
  EXPECT_EQ(engine.OutputPeak(), 0.0);
  EXPECT_EQ(engine.GainReductionDb(), 0.0);
}

}  // namespace
