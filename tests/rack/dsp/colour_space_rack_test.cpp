// The colour and space blocks as the rack runs them: tuning read at prepare, latency and type
// changes.
#include <gtest/gtest.h>

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "block_render.h"
#include "fake_tuning_environment.h"
#include "rack/dsp/engine.h"
#include "rack_render.h"
#include "scoped_environment_variable.h"
#include "signals.h"

using namespace tarnwell::dsp;

namespace {

constexpr double kRate = 48000.0;

StereoSignal Material(std::int32_t frames) {
  return {Sum(Sine(220.0, 0.6, kRate, frames), Noise(0.2, frames, 31)),
          Sum(Sine(330.0, 0.5, kRate, frames), Noise(0.2, frames, 37))};
}

StereoSignal Render(RackEngine& engine, const EngineSettings& settings, StereoSignal signal) {
  RenderStereo(engine, signal, settings, 256);
  return signal;
}

TEST(ColourSpaceRack, TuningIsReadAtPrepareOnlyAndKeptUntilFoundAgain) {
  // A prepare keeps smoothed amounts and levels, so every comparison is between engines with the
  // same history: prepared (once or twice, with nothing processed between) and then rendered.
  FakeTuningEnvironment environment;
  const EngineSettings settings = SingleBaySettings(EffectType::Saturator, 0.6, 1);
  const auto prepared = [&] {
    auto engine = std::make_unique<RackEngine>(environment.Lookup());
    engine->Prepare(kRate);
    return engine;
  };
  const auto render = [&](RackEngine& engine) { return Render(engine, settings, Material(4800)).left; };

  const std::vector<double> defaults = render(*prepared());
  const auto preparedBefore = prepared();
  environment.Set("TARNWELL_SAT_DRIVE_DB", "6");
  EXPECT_EQ(render(*preparedBefore), defaults) << "processing read the environment";
  const std::vector<double> driven = render(*prepared());
  EXPECT_NE(driven, defaults);

  const auto kept = prepared();
  environment.Unset("TARNWELL_SAT_DRIVE_DB");
  kept->Prepare(kRate);
  EXPECT_EQ(render(*kept), driven) << "a prepare without the variable dropped its value";

  environment.Set("TARNWELL_SAT_DRIVE_DB", "6");
  const auto unset = prepared();
  environment.Set("TARNWELL_SAT_DRIVE_DB", "-999");
  unset->Prepare(kRate);
  EXPECT_EQ(render(*unset), defaults);
}

TEST(ColourSpaceRack, EveryBayReadsTheTuning) {
  FakeTuningEnvironment environment;
  environment.Set("TARNWELL_AIR_MODE", "2");
  RackEngine engine(environment.Lookup());
  engine.Prepare(kRate);
  const std::vector<double> shelf = RenderBlock({EffectType::Air, 1.0, 0, environment.Read()}, Material(2400)).left;
  ASSERT_NE(shelf, RenderBlock({EffectType::Air, 1.0}, Material(2400)).left);
  for (std::int32_t bay = 0; bay < kBayCount; ++bay) {
    EngineSettings settings;
    settings.safety = false;
    settings.bays[static_cast<std::size_t>(bay)] = {true, false, static_cast<std::int32_t>(EffectType::Air), 0, 1.0};
    EXPECT_EQ(Render(engine, settings, Material(2400)).left, shelf) << "bay " << bay;
  }
}

// The real process environment, end to end.
TEST(ColourSpaceRack, ReadsProcessEnvironmentAtPrepare) {
  const EngineSettings settings = SingleBaySettings(EffectType::Saturator, 0.6, 1);
  const auto render = [&] {
    auto engine = std::make_unique<RackEngine>();
    engine->Prepare(kRate);
    return Render(*engine, settings, Material(4800)).left;
  };
  const std::vector<double> defaults = render();
  const ScopedEnvironmentVariable drive("TARNWELL_SAT_DRIVE_DB", "-899");
  EXPECT_NE(render(), defaults);
}

TEST(ColourSpaceRack, OnlyTheSaturatorAddsLatency) {
  struct Case {
    EffectType type;
    std::int32_t latency;
  };
  for (const double rate : {44100.0, 96000.0}) {
    RackEngine engine;
    engine.Prepare(rate);
    for (const Case& c : {Case{EffectType::Saturator, 3}, Case{EffectType::Tape, 0}, Case{EffectType::Air, 0},
                          Case{EffectType::Plate, 0}, Case{EffectType::Shimmer, 0}}) {
      for (const std::int32_t character : {0, 5}) {
        EXPECT_EQ(engine.LatencySamples(SingleBaySettings(c.type, 0.3, character)), c.latency)
            << "type " << static_cast<int>(c.type) << " rate " << rate;
      }
    }
  }
}

TEST(ColourSpaceRack, ReturningToAReverbBringsNoOldTail) {
  // Plate (or Shimmer), then a Gate for one block, then back: the reverb starts from silence.
  for (const EffectType reverb : {EffectType::Plate, EffectType::Shimmer}) {
    RackEngine engine;
    engine.Prepare(kRate);
    Render(engine, SingleBaySettings(reverb, 1.0), Material(24000));
    Render(engine, SingleBaySettings(EffectType::Gate, 0.0), Material(256));
    StereoSignal silence{std::vector<double>(24000, 0.0), std::vector<double>(24000, 0.0)};
    const StereoSignal out = Render(engine, SingleBaySettings(reverb, 1.0), silence);
    EXPECT_EQ(out.left, silence.left) << "type " << static_cast<int>(reverb);
    EXPECT_EQ(out.right, silence.right);
  }
}

}  // namespace
