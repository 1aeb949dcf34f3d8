#include <gtest/gtest.h>

#include <cstdint>
#include <string>
#include <vector>

#include "bay_render.h"
#include "rack/dsp/engine.h"
#include "rack_render.h"
#include "signals.h"

using namespace tarnwell::dsp;

namespace {

constexpr double kRate = 48000.0;

struct MonoCase {
  const char* name;
  EffectType type;
  std::int32_t character;
};

class EffectMono : public ::testing::TestWithParam<MonoCase> {};

// Mono hands the block one buffer as both channels. Each block reads both inputs of a frame before it
// writes either output, so the one buffer comes out as the left of a stereo pair with identical channels.
TEST_P(EffectMono, EqualsLeftOfIdenticalStereo) {
  const MonoCase& c = GetParam();
  const EngineSettings settings = SingleBaySettings(c.type, 0.8, c.character);
  const std::vector<double> input =
      Sum(Sum(Sine(280.0, 0.3, kRate, 24000), Sine(6500.0, 0.2, kRate, 24000)), Noise(0.2, 24000, 61));
  const StereoSignal stereo = RenderFreshEngine(settings, {input, input}, kRate, 64);

  RackEngine engine;
  engine.Prepare(kRate);
  std::vector<double> mono = input;
  RenderMono(engine, mono, settings, 64);
  EXPECT_EQ(mono, stereo.left);
}

INSTANTIATE_TEST_SUITE_P(
    Blocks, EffectMono,
    ::testing::Values(MonoCase{"DeMud", EffectType::DeMud, 0}, MonoCase{"DeHarsh", EffectType::DeHarsh, 0},
                      MonoCase{"DeEsser", EffectType::DeEsser, 0}, MonoCase{"Presence", EffectType::Presence, 0},
                      MonoCase{"Tilt", EffectType::Tilt, 0}, MonoCase{"WidthSideBand", EffectType::Width, 0},
                      MonoCase{"WidthHighBand", EffectType::Width, 1}, MonoCase{"Trimmer", EffectType::Trimmer, 0},
                      MonoCase{"Clip", EffectType::Clip, 0}, MonoCase{"Delay", EffectType::Delay, 17},
                      MonoCase{"SaturatorLowSplit", EffectType::Saturator, 0},
                      MonoCase{"Saturator", EffectType::Saturator, 5}, MonoCase{"Tape", EffectType::Tape, 0},
                      MonoCase{"Air", EffectType::Air, 0}, MonoCase{"Plate", EffectType::Plate, 0},
                      MonoCase{"Shimmer", EffectType::Shimmer, 0}),
    [](const auto& info) { return std::string(info.param.name); });

}  // namespace
