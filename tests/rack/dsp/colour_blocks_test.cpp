// Saturator, Tape and Air, each driven as a bay drives it.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <string>
#include <vector>

#include "block_render.h"
#include "fake_tuning_environment.h"
#include "rack/dsp/air_block.h"
#include "rack/dsp/saturator_block.h"
#include "rack/dsp/tape_block.h"
#include "signals.h"

using namespace tarnwell::dsp;

namespace {

constexpr double kRate = 48000.0;

StereoSignal LoudMaterial(std::int32_t frames = 24000) {
  return {Sum(Sine(220.0, 0.9, kRate, frames), Noise(0.1, frames, 3)),
          Sum(Sine(330.0, 0.8, kRate, frames), Noise(0.1, frames, 5))};
}

double Peak(const std::vector<double>& signal, std::size_t from) {
  double peak = 0.0;
  for (std::size_t i = from; i < signal.size(); ++i) {
    peak = std::max(peak, std::fabs(signal[i]));
  }
  return peak;
}

double LargestStep(const std::vector<double>& signal, std::size_t from, std::size_t to) {
  double step = 0.0;
  for (std::size_t i = std::max<std::size_t>(from, 1); i < to; ++i) {
    step = std::max(step, std::fabs(signal[i] - signal[i - 1]));
  }
  return step;
}

// ---- Saturator -------------------------------------------------------------------------------

TEST(Saturator, NoAmountLeavesAudioAndStateUntouched) {
  const StereoSignal input = LoudMaterial(4800);
  for (const std::int32_t mode : {1, 0}) {
    for (const double amount : {0.0, -0.3, std::nan("")}) {
      for (std::int32_t character = 0; character < 8; ++character) {
        SaturatorTuning tuning;
        tuning.mode = mode;
        SaturatorBlock block;
        block.Prepare(kRate, tuning);
        StereoSignal bypassed = input;
        block.SetCharacter(character);
        block.SetAmount(amount);
        block.Process(bypassed.left.data(), bypassed.right.data(), 4800);
        ASSERT_EQ(bypassed.left, input.left) << "mode " << mode << " amount " << amount;
        ASSERT_EQ(bypassed.right, input.right);

        // A later block must match a block that never saw the bypassed audio.
        SaturatorBlock fresh;
        fresh.Prepare(kRate, tuning);
        StereoSignal after = input;
        StereoSignal expected = input;
        for (auto [b, signal] : {std::pair{&block, &after}, std::pair{&fresh, &expected}}) {
          b->SetCharacter(character);
          b->SetAmount(0.6);
          b->Process(signal->left.data(), signal->right.data(), 4800);
        }
        ASSERT_EQ(after.left, expected.left) << "mode " << mode << " character " << character;
      }
    }
  }
}

TEST(Saturator, CharacterIsClampedToItsEight) {
  const auto render = [](std::int32_t character) {
    BlockRun run{EffectType::Saturator, 0.8, character};
    run.tunings.saturator.mode = 0;
    return RenderBlock(run, LoudMaterial(4800)).left;
  };
  EXPECT_EQ(render(12), render(7));
  EXPECT_EQ(render(-2), render(0));
  EXPECT_NE(render(7), render(6));
}

TEST(Saturator, AmountAboveOneActsAsOne) {
  for (const std::int32_t mode : {1, 0}) {
    for (const std::int32_t character : {0, 2, 5}) {
      BlockRun run{EffectType::Saturator, 1.0, character};
      run.tunings.saturator.mode = mode;
      const StereoSignal atOne = RenderBlock(run, LoudMaterial());
      run.amount = 1.7;
      EXPECT_EQ(RenderBlock(run, LoudMaterial()).left, atOne.left) << "mode " << mode << " character " << character;
    }
  }
}

TEST(Saturator, ModeOneUsesCharacterOnlyToSplitBands) {
  const auto render = [](std::int32_t character) {
    return RenderBlock({EffectType::Saturator, 0.7, character}, LoudMaterial()).left;
  };
  const std::vector<double> plain = render(1);
  for (const std::int32_t character : {3, 4, 5, 6, 7}) {
    EXPECT_EQ(render(character), plain) << "character " << character;
  }
  const std::vector<double> lowSplit = render(0);
  const std::vector<double> highSplit = render(2);
  EXPECT_NE(lowSplit, plain);
  EXPECT_NE(highSplit, plain);
  EXPECT_NE(lowSplit, highSplit);
}

TEST(Saturator, ModeOnePeakFollowsAmount) {
  // Envelope normalisation squashes a full-scale tone; the output gain falls with the amount.
  struct Case {
    double amount;
    double peak;
  };
  for (const Case& c : {Case{1.0, 0.123}, Case{0.5, 0.46}}) {
    const std::vector<double> tone = Sine(1000.0, 1.0, kRate, 24000);
    const StereoSignal out = RenderBlock({EffectType::Saturator, c.amount, 1}, Stereo(tone));
    EXPECT_NEAR(Peak(out.left, 12000), c.peak, 0.03 * c.peak) << "amount " << c.amount;
  }
}

TEST(Saturator, DriveOverrideCountsAsSetAboveMinus900) {
  const auto render = [](const std::map<std::string, std::string>& variables) {
    BlockRun run{EffectType::Saturator, 0.5, 1, TuningsWith(variables)};
    return RenderBlock(run, LoudMaterial()).left;
  };
  const std::vector<double> absent = render({});
  EXPECT_EQ(render({{"TARNWELL_SAT_DRIVE_DB", "-900"}}), absent);
  EXPECT_NE(render({{"TARNWELL_SAT_DRIVE_DB", "-899"}}), absent);
}

TEST(Saturator, CharacterAndSplitChangesFadeWithoutSteps) {
  // Mode 0 crossfades characters over 10 ms and fades a new split band in over 5 ms; neither may
  // step further than the steady signal does on its own. On this tone an instant switch would step
  // by several times that (the two curves lie 0.26 and 0.84 apart).
  struct Change {
    std::int32_t from;
    std::int32_t to;
  };
  const std::int32_t half = 9600;
  const std::vector<double> tone = Sine(100.0, 0.5, kRate, 2 * half);
  for (const Change& change : {Change{4, 1}, Change{1, 0}, Change{2, 6}}) {
    BlockRun run{EffectType::Saturator, 0.8, change.from};
    run.tunings.saturator.mode = 0;
    const std::vector<double> steadyFrom = RenderBlock(run, Stereo(tone)).left;
    run.character = change.to;
    const std::vector<double> steadyTo = RenderBlock(run, Stereo(tone)).left;
    const double steadyStep =
        std::max(LargestStep(steadyFrom, half / 2, 2 * half), LargestStep(steadyTo, half / 2, 2 * half));

    SaturatorBlock block;
    block.Prepare(kRate, run.tunings.saturator);
    StereoSignal signal = Stereo(tone);
    for (std::int32_t start = 0; start < 2 * half; start += 480) {
      block.SetCharacter(start < half ? change.from : change.to);
      block.SetAmount(0.8);
      block.Process(signal.left.data() + start, signal.right.data() + start, 480);
    }
    EXPECT_LE(LargestStep(signal.left, half - 480, half + 960), steadyStep * 1.02)
        << "character " << change.from << " to " << change.to;
  }
}

TEST(Saturator, PrepareRedesignsSplitForNewRate) {
  // A block first prepared at 48 kHz must split at the same corner after a prepare at 96 kHz as a
  // block that only ever saw 96 kHz.
  SaturatorTuning tuning;
  SaturatorBlock moved;
  moved.Prepare(kRate, tuning);
  StereoSignal silence{std::vector<double>(64, 0.0), std::vector<double>(64, 0.0)};
  moved.SetCharacter(0);
  moved.SetAmount(0.0);
  moved.Process(silence.left.data(), silence.right.data(), 64);
  moved.Prepare(96000.0, tuning);

  SaturatorBlock fresh;
  fresh.Prepare(96000.0, tuning);
  const std::vector<double> bass = Sum(Sine(60.0, 0.4, 96000.0, 19200), Sine(900.0, 0.3, 96000.0, 19200));
  StereoSignal a = Stereo(bass);
  StereoSignal b = Stereo(bass);
  for (auto [block, signal] : {std::pair{&moved, &a}, std::pair{&fresh, &b}}) {
    block->SetCharacter(0);
    block->SetAmount(0.9);
    block->Process(signal->left.data(), signal->right.data(), 19200);
  }
  EXPECT_EQ(a.left, b.left);
}

// ---- Tape ------------------------------------------------------------------------------------

TEST(Tape, NoAmountIsBitExactAndAboveOneActsAsOne) {
  const StereoSignal input = LoudMaterial();
  for (const double amount : {0.0, -1.0}) {
    const StereoSignal out = RenderBlock({EffectType::Tape, amount}, input);
    EXPECT_EQ(out.left, input.left) << "amount " << amount;
    EXPECT_EQ(out.right, input.right);
  }
  EXPECT_EQ(RenderBlock({EffectType::Tape, 1.7}, input).left, RenderBlock({EffectType::Tape, 1.0}, input).left);
}

TEST(Tape, FundamentalFallsWithLevelAtFullAmount) {
  // The compressor and saturator together: the louder the tone, the more it loses.
  struct Case {
    double amplitude;
    double gainDb;
  };
  for (const Case& c : {Case{0.25, -1.0}, Case{0.5, -4.8}, Case{1.0, -9.0}}) {
    const std::vector<double> tone = Sine(1000.0, c.amplitude, kRate, 96000);
    const StereoSignal out = RenderBlock({EffectType::Tape, 1.0}, Stereo(tone));
    EXPECT_NEAR(SteadyToneGainDb(tone, out.left, 1000.0, kRate), c.gainDb, 0.5) << "amplitude " << c.amplitude;
  }
}

TEST(Tape, StartsOnceSmoothedAmountReachesOnePercent) {
  // With 20 ms smoothing at 48 kHz the smoothed amount passes 0.01 on the tenth frame.
  const std::vector<double> tone = Sine(440.0, 0.5, kRate, 64, 0.3);
  const StereoSignal out = RenderBlock({EffectType::Tape, 1.0}, Stereo(tone));
  for (std::size_t i = 0; i < 9; ++i) {
    EXPECT_EQ(out.left[i], tone[i]) << "frame " << i;
  }
  EXPECT_NE(out.left[9], tone[9]);
}

// ---- Air -------------------------------------------------------------------------------------

TEST(Air, NoAmountIsBitExact) {
  const StereoSignal input = LoudMaterial();
  for (const std::string mode : {"0", "1", "2"}) {
    for (const double amount : {0.0, -0.5}) {
      BlockRun run{EffectType::Air, amount, 0, TuningsWith({{"TARNWELL_AIR_MODE", mode}})};
      EXPECT_EQ(RenderBlock(run, input).left, input.left) << "mode " << mode << " amount " << amount;
    }
  }
}

TEST(Air, TuningAliasesGiveIdenticalOutput) {
  using Variables = std::map<std::string, std::string>;
  struct Pair {
    Variables a;
    Variables b;
    bool same;
  };
  const std::vector<Pair> pairs = {
      {{{"TARNWELL_AIR_MODE", "-3"}}, {}, true},
      {{{"TARNWELL_AIR_MODE", "3"}}, {}, true},
      {{{"TARNWELL_AIR_OS", "0"}}, {{"TARNWELL_AIR_OS", "1"}}, true},
      {{{"TARNWELL_AIR_OS", "9"}}, {{"TARNWELL_AIR_OS", "4"}}, true},
      {{{"TARNWELL_AIR_OS", "2"}}, {}, true},
      {{{"TARNWELL_AIR_MODE", "1"}, {"TARNWELL_AIR_ROUT", "0"}}, {{"TARNWELL_AIR_MODE", "1"}}, true},
      // Controls: the comparison can tell settings apart.
      {{{"TARNWELL_AIR_OS", "1"}}, {}, false},
      {{{"TARNWELL_AIR_MODE", "1"}}, {}, false},
  };
  const StereoSignal input = LoudMaterial(9600);
  for (const Pair& pair : pairs) {
    const std::vector<double> a = RenderBlock({EffectType::Air, 0.8, 0, TuningsWith(pair.a)}, input).left;
    const std::vector<double> b = RenderBlock({EffectType::Air, 0.8, 0, TuningsWith(pair.b)}, input).left;
    EXPECT_EQ(a == b, pair.same) << "pair " << (&pair - pairs.data());
  }
}

TEST(Air, OversamplingFallsBackToTwoWhenVariableGoes) {
  FakeTuningEnvironment environment;
  environment.Set("TARNWELL_AIR_OS", "4");
  BlockTunings tunings = environment.Read();
  EXPECT_EQ(tunings.air.oversampling, 4);
  environment.Unset("TARNWELL_AIR_OS");
  tunings.Read(environment.Environment());
  EXPECT_EQ(tunings.air.oversampling, 2);
}

TEST(Air, ExciterKeepsDryAtUnityBelowItsBand) {
  const std::vector<double> tone = Sine(1000.0, DbfsToAmplitude(-20.0), kRate, 48000);
  const StereoSignal out = RenderBlock({EffectType::Air, 1.0}, Stereo(tone));
  EXPECT_NEAR(SteadyToneGainDb(tone, out.left, 1000.0, kRate, 0.5), 0.0, 0.01);
}

TEST(Air, CrossoverModeLiftsQuietHighBand) {
  // Knee gain 3 at amount 0.5 and the table's -1.86 dB: +7.67 dB for a quiet 8 kHz tone.
  const std::vector<double> tone = Sine(8000.0, DbfsToAmplitude(-60.0), kRate, 48000);
  const StereoSignal out =
      RenderBlock({EffectType::Air, 0.5, 0, TuningsWith({{"TARNWELL_AIR_MODE", "1"}})}, Stereo(tone));
  EXPECT_NEAR(SteadyToneGainDb(tone, out.left, 8000.0, kRate, 0.5), 7.67, 0.05);
}

TEST(Air, ShelfModeMatchesItsPrewarpedResponse) {
  // At the prewarp frequency the digital shelf equals its analogue prototype:
  // |1 + j f u / f0| / |1 + j f / f0| with u = 10^(15/20), f0 = 40 kHz, f = 16 kHz: +7.18 dB.
  const BlockTunings tunings = TuningsWith({{"TARNWELL_AIR_MODE", "2"}});
  const double u = std::pow(10.0, 15.0 / 20.0);
  const double expectedDb = AmplitudeToDb(std::hypot(1.0, 0.4 * u) / std::hypot(1.0, 0.4));
  const std::vector<double> high = Sine(16000.0, 0.1, kRate, 24000);
  const std::vector<double> low = Sine(50.0, 0.1, kRate, 24000);
  EXPECT_NEAR(
      SteadyToneGainDb(high, RenderBlock({EffectType::Air, 1.0, 0, tunings}, Stereo(high)).left, 16000.0, kRate, 0.25),
      expectedDb, 0.01);
  EXPECT_NEAR(
      SteadyToneGainDb(low, RenderBlock({EffectType::Air, 1.0, 0, tunings}, Stereo(low)).left, 50.0, kRate, 0.2), 0.0,
      0.01);
}

TEST(Air, ShelfRefusesPoleAtOrBelowZeroHz) {
  // Text without digits reads as 0 Hz; 0 Hz has no finite design and a negative pole an unstable
  // one (-9237.6 Hz would divide by zero at 48 kHz). The shelf then passes the audio.
  const StereoSignal input = LoudMaterial(4800);
  for (const std::string pole : {"0", "abc", "-9237.6", "-100"}) {
    const BlockTunings tunings = TuningsWith({{"TARNWELL_AIR_MODE", "2"}, {"TARNWELL_AIR_SHELFF0", pole}});
    EXPECT_EQ(RenderBlock({EffectType::Air, 1.0, 0, tunings}, input).left, input.left) << "pole " << pole;
  }
}

}  // namespace
