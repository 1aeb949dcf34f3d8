#include <gtest/gtest.h>

#include <pmmintrin.h>
#include <xmmintrin.h>

#include <cmath>
#include <cstdint>
#include <limits>
#include <memory>
#include <vector>

#include "allocation_counter.h"
#include "rack/dsp/engine.h"
#include "rack_render.h"
#include "signals.h"

using namespace tarnwell::dsp;

namespace {

constexpr double kRate = 48000.0;

// Every type once, the unbuilt ones included, so a block that allocates shows up here when it is added.
EngineSettings EveryTypeRack(std::int32_t firstType) {
  EngineSettings settings;
  for (std::int32_t b = 0; b < kBayCount; ++b) {
    settings.bays[static_cast<std::size_t>(b)] = {true, false, (firstType + b) % kEffectTypeCount, b % 4, 0.9};
  }
  return settings;
}

// Without this the zero counts below could come from a counter that never sees anything.
TEST(RackEngineRealtime, AllocationCounterSeesAllocations) {
  static std::vector<double>* volatile escape = nullptr;
  const ScopedAllocationCounter counter;
  auto buffer = std::make_unique<std::vector<double>>(64);
  escape = buffer.get();
  EXPECT_EQ(counter.Count(), 2);
  EXPECT_NE(escape, nullptr);
}

TEST(RackEngineRealtime, ProcessNeverAllocates) {
  RackEngine engine;
  engine.Prepare(kRate);
  std::vector<double> left = Noise(0.5, 512, 1);
  std::vector<double> right = Noise(0.5, 512, 2);
  double* channels[2] = {left.data(), right.data()};

  const ScopedAllocationCounter counter;
  for (int block = 0; block < 1000; ++block) {
    const EngineSettings settings = EveryTypeRack(block / 100);
    engine.Process(channels, 1 + block % 2, 64 + block % 449, settings);
  }
  EXPECT_EQ(counter.Count(), 0);
}

// Some hosts prepare from the audio thread when they switch processing off.
TEST(RackEngineRealtime, PrepareAtUnchangedRateReusesStorage) {
  RackEngine engine;
  engine.Prepare(kRate);
  const ScopedAllocationCounter counter;
  engine.Prepare(kRate);
  EXPECT_EQ(counter.Count(), 0);
}

TEST(RackEngineRealtime, PrepareOutOfMemoryReportsAndKeepsAudioFlowing) {
  RackEngine engine;
  engine.Prepare(kRate);
  bool prepared = true;
  {
    const ScopedAllocationFailure noMemory;
    prepared = engine.Prepare(96000.0);
  }
  EXPECT_FALSE(prepared);

  EngineSettings settings = EveryTypeRack(0);
  settings.safety = false;
  for (BayControl& bay : settings.bays) {
    bay.on = bay.type == static_cast<std::int32_t>(EffectType::Gate);
  }
  // A gate without its look-ahead lines passes audio unchanged.
  const std::vector<double> input = Noise(0.5, 512, 3);
  std::vector<double> mono = input;
  RenderMono(engine, mono, settings, 128);
  EXPECT_EQ(mono, input);

  EXPECT_TRUE(engine.Prepare(96000.0));
}

TEST(RackEngineRealtime, MissingChannelsLeaveAudioAndReadingsAtZero) {
  RackEngine engine;
  engine.Prepare(kRate);
  EngineSettings settings;
  std::vector<double> loud(64, 0.5);
  double* channels[2] = {loud.data(), loud.data()};
  engine.Process(channels, 2, 64, settings);
  ASSERT_GT(engine.InputPeak(), 0.0);

  const std::vector<double> before = loud;
  double* noLeft[2] = {nullptr, loud.data()};
  for (auto [pointers, count] : {std::pair{channels, 0}, std::pair{channels, -1}, std::pair{noLeft, 2}}) {
    engine.Process(pointers, count, 64, settings);
    EXPECT_EQ(loud, before);
    EXPECT_EQ(engine.InputPeak(), 0.0);
    EXPECT_EQ(engine.OutputPeak(), 0.0);
    EXPECT_EQ(engine.GainReductionDb(), 0.0);
  }
  engine.Process(nullptr, 2, 64, settings);
  EXPECT_EQ(loud, before);
}

// Samples far beyond any level square to infinity in the power followers (Width's high band
// among them) and would leave NaN behind for good.
TEST(RackEngineRealtime, InputSamplesNotFiniteOrFarBeyondAnyLevelAreTakenAsSilence) {
  EngineSettings settings;
  settings.bays[0] = {true, false, static_cast<std::int32_t>(EffectType::Compressor), 1, 1.0};
  settings.bays[1] = {true, false, static_cast<std::int32_t>(EffectType::Glue), 0, 1.0};
  settings.bays[2] = {true, false, static_cast<std::int32_t>(EffectType::Width), 1, 1.0};
  std::vector<double> input = Sine(500.0, 0.5, kRate, 4800);
  std::vector<double> zeroed = input;
  const double bad[] = {std::numeric_limits<double>::quiet_NaN(), std::numeric_limits<double>::infinity(),
                        -std::numeric_limits<double>::infinity(), 1e300, -2e6};
  const std::size_t at[] = {10u, 500u, 501u, 3000u, 4000u};
  for (std::size_t k = 0; k < std::size(at); ++k) {
    input[at[k]] = bad[k];
    zeroed[at[k]] = 0.0;
  }

  RackEngine engine;
  engine.Prepare(kRate);
  RenderMono(engine, input, settings, 64);
  RackEngine reference;
  reference.Prepare(kRate);
  RenderMono(reference, zeroed, settings, 64);
  EXPECT_EQ(input, zeroed);
}

TEST(RackEngineRealtime, NonFiniteGainMutesInsteadOfPoisoning) {
  RackEngine engine;
  engine.Prepare(kRate);
  EngineSettings settings = SingleBaySettings(EffectType::Glue, 1.0);
  settings.inputGainDb = std::numeric_limits<double>::quiet_NaN();
  std::vector<double> signal = Noise(0.5, 4800, 4);
  RenderMono(engine, signal, settings, 64);
  EXPECT_TRUE(AllFinite(signal));

  settings.inputGainDb = 0.0;
  std::vector<double> after = Noise(0.5, 4800, 5);
  RenderMono(engine, after, settings, 64);
  EXPECT_TRUE(AllFinite(after));
}

// A subnormal sample is flushed by the output multiply only while the engine runs with
// denormals-are-zero; the caller's control register is back as it was afterwards.
TEST(RackEngineRealtime, FlushesDenormalsOnlyWhileProcessing) {
  // The low six bits are sticky exception flags, which the arithmetic of the test itself sets.
  constexpr unsigned int kControlBits = ~0x3Fu;
  const unsigned int callerControl = _mm_getcsr() & kControlBits;
  ASSERT_EQ(_MM_GET_DENORMALS_ZERO_MODE(), static_cast<unsigned int>(_MM_DENORMALS_ZERO_OFF));
  RackEngine engine;
  engine.Prepare(kRate);
  EngineSettings settings;
  settings.safety = false;
  const double subnormal = std::numeric_limits<double>::denorm_min() * 1000.0;
  ASSERT_EQ(std::fpclassify(subnormal), FP_SUBNORMAL);

  std::vector<double> signal = {subnormal, -subnormal, 0.25};
  double* channels[1] = {signal.data()};
  engine.Process(channels, 1, 3, settings);
  EXPECT_EQ(signal[0], 0.0);
  EXPECT_EQ(signal[1], 0.0);
  EXPECT_EQ(signal[2], 0.25);
  EXPECT_EQ(_mm_getcsr() & kControlBits, callerControl);
}

}  // namespace
