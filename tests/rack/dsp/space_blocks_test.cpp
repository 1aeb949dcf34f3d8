// Plate and Shimmer, and the interpolated line read they share.
#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <cmath>
#include <cstdint>
#include <limits>
#include <memory>
#include <string>
#include <vector>

#include "block_render.h"
#include "fake_tuning_environment.h"
#include "rack/dsp/plate_block.h"
#include "rack/dsp/plate_lines.h"
#include "rack/dsp/ring_delay.h"
#include "rack/dsp/shimmer_block.h"
#include "signals.h"

using namespace tarnwell::dsp;

namespace {

constexpr double kRate = 48000.0;

StereoSignal LoudNoise(std::int32_t frames) { return {Noise(0.9, frames, 11), Noise(0.9, frames, 13)}; }

StereoSignal Silence(std::int32_t frames) {
  return {std::vector<double>(static_cast<std::size_t>(frames), 0.0),
          std::vector<double>(static_cast<std::size_t>(frames), 0.0)};
}

// An impulse on both channels at `at`, silence elsewhere.
StereoSignal Impulse(std::int32_t frames, std::int32_t at) {
  StereoSignal signal = Silence(frames);
  signal.left[static_cast<std::size_t>(at)] = 1.0;
  signal.right[static_cast<std::size_t>(at)] = 1.0;
  return signal;
}

std::int32_t FirstNonZeroAfter(const std::vector<double>& signal, std::int32_t from) {
  for (auto i = static_cast<std::size_t>(from); i < signal.size(); ++i) {
    if (signal[i] != 0.0) {
      return static_cast<std::int32_t>(i);
    }
  }
  return -1;
}

bool AllZero(const std::vector<double>& signal) { return FirstNonZeroAfter(signal, 0) < 0; }

// Restores the process-wide comb rounding that a tuning read may set.
class CombRoundingGuard {
 public:
  ~CombRoundingGuard() { SetPlateCombRounding(0.0); }
};

// ---- Interpolated read -----------------------------------------------------------------------

TEST(ReadCubic, FollowsLineContentAndStaysInside) {
  // On a ramp the cubic is exact: delay d reads the sample written floor(d) ago, moved towards the
  // next newer one by the fraction (the read runs ahead of a plain delay by it).
  RingDelay line;
  line.Resize(16);
  for (int n = 0; n < 21; ++n) {
    line.Push(n);
  }
  const double newest = 20.0;
  struct Case {
    double delay;
    double expected;
  };
  const double nan = std::numeric_limits<double>::quiet_NaN();
  for (const Case& c : {Case{2.0, newest - 2.0}, Case{5.0, newest - 5.0}, Case{5.25, newest - 5.0 + 0.25},
                        Case{13.5, newest - 13.0 + 0.5}, Case{14.0, newest - 14.0},
                        // Held to 2..length - 2, so all four points are samples of the line.
                        Case{0.0, newest - 2.0}, Case{-7.0, newest - 2.0}, Case{15.9, newest - 14.0},
                        Case{1e300, newest - 14.0}, Case{nan, newest - 2.0}}) {
    EXPECT_NEAR(ReadCubic(line, c.delay), c.expected, 1e-12) << "delay " << c.delay;
  }
}

// ---- Runs over lines --------------------------------------------------------------------------

// A ramp of distinct values, so that any sample read from the wrong place shows.
double HistoryValue(int n) { return 1.0 + 0.37 * n + 0.001 * n * n; }

TEST(LineRuns, EqualTheirStepsAcrossEveryWrap) {
  // Runs longer than the line wrap several times; the line's state afterwards must match as well.
  for (const std::int32_t length : {1, 3, 7, 16}) {
    for (const std::int32_t count : {1, 5, 16, 23}) {
      RingDelay stepped;
      stepped.Resize(length);
      for (int n = 0; n < 2 * length + 1; ++n) {
        stepped.Push(HistoryValue(n));
      }
      RingDelay run = stepped;
      std::vector<double> samples;
      for (int n = 0; n < count; ++n) {
        samples.push_back(-HistoryValue(n + 40));
      }
      std::vector<double> expected = samples;
      for (double& x : expected) {
        x = AllpassStep(stepped, x, 0.6);
      }
      run.RunAllpass(0.6, samples.data(), count);
      EXPECT_EQ(samples, expected) << "length " << length << ", count " << count;
      for (int n = 0; n < length; ++n) {
        EXPECT_EQ(run.Step(0.0), stepped.Step(0.0)) << "length " << length << ", count " << count;
      }
    }
  }
}

TEST(LineRuns, TapRunReadsWhatEachPushLeft) {
  // Taps from 1 (0 reads the slot the next push takes) up to length + 1 - count, the longest a run
  // may take; the sums add on what they held.
  constexpr std::int32_t kLength = 11;
  for (const std::int32_t count : {1, 4, 7, 11}) {
    for (std::int32_t delay = 1; delay + count <= kLength + 1; ++delay) {
      RingDelay stepped;
      stepped.Resize(kLength);
      for (int n = 0; n < 17; ++n) {
        stepped.Push(HistoryValue(n));
      }
      RingDelay run = stepped;
      std::vector<double> pushed, expected;
      for (int n = 0; n < count; ++n) {
        pushed.push_back(HistoryValue(n + 30));
        stepped.Push(pushed.back());
        expected.push_back(0.5 + 0.25 * stepped.Tap(delay));
      }
      run.PushRun(pushed.data(), count);
      std::vector<double> sums(static_cast<std::size_t>(count), 0.5);
      run.AddTapRun(delay, 0.25, sums.data(), count);
      EXPECT_EQ(sums, expected) << "count " << count << ", delay " << delay;
    }
  }
}

TEST(CombBank, RunReadsEqualTheLineReadOfEachFrame) {
  // Two combs of 12 and 9 samples, each against a RingDelay of its length pushed alike. Runs of
  // frames whose whole delays pair up, differ within a pair, or leave a frame alone; delays below
  // 2, NaN and beyond the longest read are held as the line read holds them.
  const std::array<std::int32_t, 2> lengths = {12, 9};
  const double nan = std::numeric_limits<double>::quiet_NaN();
  const std::vector<std::vector<double>> runs = {
      {6.25, 6.5, 5.5, 7.0}, {6.75, 6.0, 5.125}, {5.5}, {0.5}, {nan}, {1e300}, {-3.0, 1e9}};
  CombBank<2> bank;
  bank.Resize(lengths);
  std::array<RingDelay, 2> lines;
  for (std::size_t c = 0; c < 2; ++c) {
    lines[c].Resize(lengths[c]);
  }
  int n = 0;
  const auto pushFrames = [&](std::int32_t frames) {
    std::array<std::vector<double>, 2> values;
    for (std::int32_t f = 0; f < frames; ++f, ++n) {
      for (std::size_t c = 0; c < 2; ++c) {
        values[c].push_back(HistoryValue(n) + 100.0 * static_cast<double>(c));
      }
    }
    const std::vector<double> none(static_cast<std::size_t>(frames), 0.0);
    for (std::size_t c = 0; c < 2; ++c) {
      bank.Write(c, values[c].data(), 1.0, none.data(), frames);
    }
    bank.Advance(frames);
    return values;
  };
  // Enough history to wrap the bank's 16-frame ring.
  for (int i = 0; i < 21; ++i) {
    const auto values = pushFrames(1);
    for (std::size_t c = 0; c < 2; ++c) {
      lines[c].Push(values[c][0]);
    }
  }
  for (const std::vector<double>& delays : runs) {
    const auto frames = static_cast<std::int32_t>(delays.size());
    for (std::size_t c = 0; c < 2; ++c) {
      std::vector<double> read(delays.size());
      bank.ReadCubicRun(c, delays.data(), read.data(), frames);
      // The line read of frame f follows the f pushes before it, which it does not reach.
      RingDelay line = lines[c];
      for (std::size_t f = 0; f < delays.size(); ++f) {
        EXPECT_EQ(read[f], ReadCubic(line, delays[f])) << "comb " << c << ", delay " << delays[f];
        line.Push(0.0);
      }
    }
    const auto values = pushFrames(frames);
    for (std::size_t c = 0; c < 2; ++c) {
      for (const double value : values[c]) {
        lines[c].Push(value);
      }
    }
  }
}

// ---- Plate -----------------------------------------------------------------------------------

TEST(Plate, NoAmountIsBitExactAndAboveOneActsAsOne) {
  const StereoSignal input = LoudNoise(9600);
  for (const double amount : {0.0, -0.5, std::nan("")}) {
    const StereoSignal out = RenderBlock({EffectType::Plate, amount}, input);
    EXPECT_EQ(out.left, input.left) << "amount " << amount;
    EXPECT_EQ(out.right, input.right);
  }
  EXPECT_EQ(RenderBlock({EffectType::Plate, 1.7}, input).left, RenderBlock({EffectType::Plate, 1.0}, input).left);
}

TEST(Plate, FirstReflectionsArriveAtTheirTaps) {
  // Taps of 441 and 529 samples at 44.1 kHz are 480 and 575 at 48 kHz; the tap is read after the
  // write, so the reflection lands one frame earlier. Nothing of the wet signal comes sooner.
  const StereoSignal out = RenderBlock({EffectType::Plate, 1.0}, Impulse(2048, 0));
  EXPECT_NEAR(FirstNonZeroAfter(out.left, 1), 479, 1);
  EXPECT_NEAR(FirstNonZeroAfter(out.right, 1), 574, 1);
}

TEST(Plate, DecayTimeGrowsWithAmount) {
  // One second of noise, then the time for the wet tail's 50 ms level to fall 60 dB below its level
  // at the end of the burst: about 1.7, 2.6 and 4.7 s. Amount 0 has no wet output, so a
  // tiny amount stands in for it.
  struct Case {
    double amount;
    double seconds;
  };
  const auto burst = static_cast<std::int32_t>(kRate);
  const auto window = static_cast<std::int32_t>(0.05 * kRate);
  double previous = 0.0;
  for (const Case& c : {Case{0.001, 1.7}, Case{0.5, 2.6}, Case{1.0, 4.7}}) {
    const auto frames = static_cast<std::int32_t>((1.0 + 1.3 * c.seconds) * kRate);
    StereoSignal input = Silence(frames);
    const std::vector<double> noise = Noise(0.5, burst, 7);
    std::copy(noise.begin(), noise.end(), input.left.begin());
    std::copy(noise.begin(), noise.end(), input.right.begin());
    const StereoSignal out = RenderBlock({EffectType::Plate, c.amount}, input);
    const auto level = [&](std::int32_t start) {
      double energy = 0.0;
      for (std::int32_t i = start; i < start + window; ++i) {
        const double wet = out.left[static_cast<std::size_t>(i)] - input.left[static_cast<std::size_t>(i)];
        energy += wet * wet;
      }
      return std::sqrt(energy / window);
    };
    const double reference = level(burst - window);
    std::int32_t start = burst;
    while (start + window < frames && level(start) > reference * 1e-3) {
      start += window / 5;
    }
    const double seconds = (start - burst) / kRate;
    EXPECT_NEAR(seconds, c.seconds, 0.15 * c.seconds) << "amount " << c.amount;
    EXPECT_GT(seconds, previous);
    previous = seconds;
  }
}

TEST(Plate, OutputHighPassSwitchesOffAtOneHertzAndFloorsAtFive) {
  const StereoSignal input = LoudNoise(9600);
  const auto render = [&](const std::string& hz) {
    return RenderBlock({EffectType::Plate, 0.7, 0, TuningsWith({{"TARNWELL_PLATE_HPHZ", hz}})}, input).left;
  };
  EXPECT_EQ(render("3"), render("5"));
  EXPECT_EQ(render("1"), render("0.5"));
  EXPECT_NE(render("1"), render("5"));
}

TEST(Plate, TankDecayOverrideStopsFollowingAmount) {
  FakeTuningEnvironment environment;
  environment.Set("TARNWELL_PLATE_TANKDECAY", "0.5");
  BlockTunings tunings = environment.Read();
  EXPECT_EQ(tunings.plate.tankDecayBase, 0.5);
  EXPECT_EQ(tunings.plate.tankDecaySlope, 0.0);
  // The slope stays at 0 after the variable goes.
  environment.Unset("TARNWELL_PLATE_TANKDECAY");
  tunings.Read(environment.Environment());
  EXPECT_EQ(tunings.plate.tankDecaySlope, 0.0);
}

TEST(Plate, ExtremeTuningStaysInsideEveryLine) {
  // Under the address sanitizer: long figure-eight taps, huge modulation of every modulated read,
  // both small-tank read paths and rounded comb delays, at the edges of the rates the engine takes.
  const CombRoundingGuard restore;
  using Variables = std::map<std::string, std::string>;
  const std::vector<Variables> tunings = {
      {{"TARNWELL_PLATE_TANK", "2"}, {"TARNWELL_PLATE_TANKDECAY", "0.5"}},
      {{"TARNWELL_PLATE_TANK", "2"},
       {"TARNWELL_PLATE_MODDEPTH", "1e9"},
       {"TARNWELL_PLATE_TANKMOD", "1e9"},
       {"TARNWELL_PLATE_MOD", "1e300"}},
      {{"TARNWELL_PLATE_TANKMOD", "-1e9"}, {"TARNWELL_PLATE_TANKMODINT", "0"}, {"TARNWELL_PLATE_COMBMODINT", "1"}},
      {{"TARNWELL_PLATE_TANKMOD", "1e9"}, {"TARNWELL_PLATE_TANKMODINT", "0"}, {"TARNWELL_PLATE_MOD", "-1e300"}},
  };
  for (const Variables& variables : tunings) {
    for (const double rate : {8001.0, 44100.0, 48000.0, 96000.0, 192000.0}) {
      BlockRun run{EffectType::Plate, 1.0, 0, TuningsWith(variables), rate, 256};
      const StereoSignal out = RenderBlock(run, LoudNoise(static_cast<std::int32_t>(0.25 * rate)));
      EXPECT_TRUE(AllFinite(out.left) && AllFinite(out.right)) << "rate " << rate;
    }
    SetPlateCombRounding(0.0);
  }
}

TEST(Plate, CombRoundingIsSharedByEveryPlate) {
  const CombRoundingGuard restore;
  const StereoSignal input = LoudNoise(9600);
  const std::vector<double> smooth = RenderBlock({EffectType::Plate, 0.8}, input).left;
  // Another plate's prepare reads the variable; this one, prepared without it, follows.
  TuningsWith({{"TARNWELL_PLATE_COMBMODINT", "1"}});
  EXPECT_NE(RenderBlock({EffectType::Plate, 0.8}, input).left, smooth);
  SetPlateCombRounding(0.0);
  EXPECT_EQ(RenderBlock({EffectType::Plate, 0.8}, input).left, smooth);
}

TEST(Plate, TwoLaneLoopsMatchTheFourLaneOnes) {
  // Processors without AVX2 and FMA run the two-lane loops, which no other test reaches on one that has
  // them. They sum the combs in another order and fuse no multiply into an add, so the two agree to
  // rounding, not to the bit. Blocks of 37 frames leave chunks that no lane width divides; a looped
  // chain writes the combs after the chain.
  if (!PlateWideVectorsAvailable()) {
    GTEST_SKIP() << "this processor runs the two-lane loops only";
  }
  const StereoSignal input = LoudNoise(24000);
  constexpr std::size_t kBlock = 37;
  for (const double chainLoop : {0.0, 0.3}) {
    std::array<std::vector<double>, 2> lefts;
    std::array<std::vector<double>, 2> rights;
    for (std::size_t wide = 0; wide < 2; ++wide) {
      PlateTuning tuning;
      tuning.chainLoop = chainLoop;
      tuning.wideVectors = wide == 1;
      auto plate = std::make_unique<PlateBlock>();
      plate->Prepare(kRate, tuning);
      plate->SetSize(0.8);
      lefts[wide] = input.left;
      rights[wide] = input.right;
      for (std::size_t start = 0; start < input.left.size(); start += kBlock) {
        const auto frames = static_cast<std::int32_t>(std::min(kBlock, input.left.size() - start));
        plate->Process(lefts[wide].data() + start, rights[wide].data() + start, frames);
      }
    }
    double largest = 0.0;
    for (std::size_t f = 0; f < input.left.size(); ++f) {
      largest = std::max({largest, std::fabs(lefts[0][f] - lefts[1][f]), std::fabs(rights[0][f] - rights[1][f])});
    }
    EXPECT_LT(largest, 1e-9) << "chain loop " << chainLoop;
    EXPECT_NE(lefts[0], input.left) << "chain loop " << chainLoop;
  }
}

// ---- Both reverbs ----------------------------------------------------------------------------

TEST(Reverbs, PassAudioBeforeFirstPrepare) {
  // The lines are sized at prepare; until then there is nothing to run.
  const StereoSignal input = LoudNoise(512);
  PlateBlock plate;
  ShimmerBlock shimmer;
  StereoSignal plated = input;
  StereoSignal shimmered = input;
  plate.SetSize(1.0);
  plate.Process(plated.left.data(), plated.right.data(), 512);
  shimmer.SetAmount(1.0);
  shimmer.Process(shimmered.left.data(), shimmered.right.data(), 512);
  EXPECT_EQ(plated.left, input.left);
  EXPECT_EQ(shimmered.left, input.left);
}

TEST(Reverbs, ResetLeavesNoOldTail) {
  // After a reset, silence in gives silence out: no line, diffuser, filter or feedback state of
  // the earlier audio survives.
  struct Case {
    const char* name;
    std::map<std::string, std::string> variables;
  };
  for (const Case& c : {Case{"plate", {}}, Case{"figure-eight plate", {{"TARNWELL_PLATE_TANK", "2"}}},
                        Case{"plate with chain loop", {{"TARNWELL_PLATE_CHAINLOOP", "0.3"}}}}) {
    auto plate = std::make_unique<PlateBlock>();
    plate->Prepare(kRate, TuningsWith(c.variables).plate);
    StereoSignal signal = LoudNoise(24000);
    plate->SetSize(1.0);
    plate->Process(signal.left.data(), signal.right.data(), 24000);
    plate->Reset();
    signal = Silence(24000);
    plate->SetSize(1.0);
    plate->Process(signal.left.data(), signal.right.data(), 24000);
    EXPECT_TRUE(AllZero(signal.left) && AllZero(signal.right)) << c.name;
  }

  auto shimmer = std::make_unique<ShimmerBlock>();
  shimmer->Prepare(kRate, ShimmerTuning{});
  StereoSignal signal = LoudNoise(24000);
  shimmer->SetAmount(1.0);
  shimmer->Process(signal.left.data(), signal.right.data(), 24000);
  shimmer->Reset();
  signal = Silence(24000);
  shimmer->Process(signal.left.data(), signal.right.data(), 24000);
  EXPECT_TRUE(AllZero(signal.left) && AllZero(signal.right)) << "shimmer";
}

// ---- Shimmer ---------------------------------------------------------------------------------

TEST(Shimmer, NoAmountIsBitExactAndAboveOneActsAsOne) {
  const StereoSignal input = LoudNoise(9600);
  for (const double amount : {0.0, -0.5}) {
    const StereoSignal out = RenderBlock({EffectType::Shimmer, amount}, input);
    EXPECT_EQ(out.left, input.left) << "amount " << amount;
    EXPECT_EQ(out.right, input.right);
  }
  EXPECT_EQ(RenderBlock({EffectType::Shimmer, 1.7}, input).left, RenderBlock({EffectType::Shimmer, 1.0}, input).left);
}

// Grains grown at a high rate are longer than the pitch buffer of a lower one; a prepare at
// the lower rate must start its grains afresh instead of reading far outside the buffer.
TEST(Shimmer, PreparedAgainAtALowerRateReadsInsideItsPitchBuffer) {
  const struct { double from, to; } changes[] = {{96000.0, 44100.0}, {192000.0, 8000.0}};
  for (const auto& change : changes) {
    auto shimmer = std::make_unique<ShimmerBlock>();
    shimmer->Prepare(change.from, ShimmerTuning{});
    shimmer->SetAmount(1.0);
    StereoSignal signal = LoudNoise(static_cast<std::int32_t>(change.from / 2));
    shimmer->Process(signal.left.data(), signal.right.data(), static_cast<std::int32_t>(signal.left.size()));
    shimmer->Prepare(change.to, ShimmerTuning{});
    signal = LoudNoise(static_cast<std::int32_t>(change.to / 2));
    shimmer->Process(signal.left.data(), signal.right.data(), static_cast<std::int32_t>(signal.left.size()));
    for (const double s : signal.left) {
      ASSERT_TRUE(std::isfinite(s) && std::fabs(s) < 100.0) << change.from << " Hz to " << change.to << " Hz";
    }
  }
}

TEST(Shimmer, FirstEchoComesFromShortestLine) {
  // At 44.1 kHz the shortest line is 1014 samples; the impulse reaches it through the four input
  // allpasses (0.7^4) and leaves scaled by sin(0.35 pi) x 0.213 x -8.55 dB at amount 1.
  const std::int32_t settle = 44100;
  const StereoSignal out = RenderBlock({EffectType::Shimmer, 1.0, 0, {}, 44100.0}, Impulse(settle + 2048, settle));
  const std::int32_t echo = FirstNonZeroAfter(out.left, settle + 1);
  EXPECT_NEAR(echo - settle, 1014, 1);
  const double expected = std::pow(0.7, 4) * std::sin(0.35 * 3.141592653589793) * 0.213 * DbfsToAmplitude(-8.55);
  EXPECT_NEAR(out.left[static_cast<std::size_t>(echo)], expected, 1e-5);
  EXPECT_NEAR(out.right[static_cast<std::size_t>(echo)], expected, 1e-5);
}

TEST(Shimmer, TailClimbsAnOctave) {
  // Two seconds of 500 Hz, then the tail half a second to a second later: the octave above is
  // there, about -34 dB re the input and some 10 dB under the 500 Hz tail.
  const auto burst = static_cast<std::int32_t>(2.0 * kRate);
  const auto frames = static_cast<std::int32_t>(3.0 * kRate);
  StereoSignal input = Silence(frames);
  const std::vector<double> tone = Sine(500.0, 0.5, kRate, burst);
  std::copy(tone.begin(), tone.end(), input.left.begin());
  std::copy(tone.begin(), tone.end(), input.right.begin());
  const StereoSignal out = RenderBlock({EffectType::Shimmer, 1.0}, input);
  const auto start = static_cast<std::int32_t>(burst + 0.5 * kRate);
  const auto count = static_cast<std::int32_t>(0.5 * kRate);
  EXPECT_GT(AmplitudeToDb(ToneAmplitude(out.left, 1000.0, kRate, start, count) / 0.5), -50.0);
}

TEST(Shimmer, PrepareRestartsGrainSequence) {
  // The grain lengths are random; a prepare restarts the sequence, so a block prepared again after
  // its grains had shrunk to one sample (amount 0) sounds like a fresh one. The smoothed amount it
  // keeps across the prepare is 1e-11 away from a fresh block's 0, hence the tolerance.
  const StereoSignal input = LoudNoise(24000);
  auto reused = std::make_unique<ShimmerBlock>();
  reused->Prepare(kRate, ShimmerTuning{});
  StereoSignal first = input;
  reused->SetAmount(1.0);
  reused->Process(first.left.data(), first.right.data(), 24000);
  StereoSignal quiet = Silence(24000);
  reused->SetAmount(0.0);
  reused->Process(quiet.left.data(), quiet.right.data(), 24000);

  reused->Prepare(kRate, ShimmerTuning{});
  StereoSignal second = input;
  reused->SetAmount(1.0);
  reused->Process(second.left.data(), second.right.data(), 24000);
  for (std::size_t i = 0; i < second.left.size(); ++i) {
    ASSERT_NEAR(second.left[i], first.left[i], 1e-9) << "frame " << i;
  }
}

}  // namespace
