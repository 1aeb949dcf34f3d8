#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <cmath>
#include <cstdint>
#include <vector>

#include "bay_render.h"
#include "rack/dsp/deesser_block.h"
#include "rack/dsp/deharsh_block.h"
#include "rack/dsp/demud_block.h"
#include "rack/dsp/engine.h"
#include "rack/dsp/loudness_match.h"
#include "rack_render.h"
#include "signals.h"

using namespace tarnwell::dsp;

namespace {

constexpr double kRate = 48000.0;
constexpr std::int32_t kTwoSeconds = 96000;

// A vocal-like mix: low-mid body, presence and sibilance over noise.
std::vector<double> BusySignal(std::int32_t frames) {
  return Sum(Sum(Sine(280.0, 0.3, kRate, frames), Sine(3500.0, 0.2, kRate, frames)),
             Sum(Sine(7000.0, 0.1, kRate, frames), Noise(0.1, frames, 11)));
}

// Runs a block on `input` in both channels, in blocks of 16 frames, calling `afterEachBlock` between
// blocks so that bounds hold all along, not only at the end; returns the left channel.
template <typename Block, typename Observer>
std::vector<double> RenderObserved(Block& block, const std::vector<double>& input, Observer afterEachBlock) {
  std::vector<double> left = input;
  std::vector<double> right = input;
  ProcessInBlocks(left, right, 16, [&](double* l, double* r, std::int32_t n) {
    block.Process(l, r, n);
    afterEachBlock();
  });
  return left;
}

// ---- De-Mud -------------------------------------------------------------------------------------

// The bypass compares in single precision: 0.0099 is below 0.01 there.
TEST(DeMud, BelowOnePercentIsBitExact) {
  const std::vector<double> input = BusySignal(kRate);
  for (double amount : {0.0, 0.0099}) {
    EXPECT_EQ(RenderOneBay(input, EffectType::DeMud, amount), input) << "amount " << amount;
  }
}

// A lone 280 Hz tone stands far above its references, so all three cuts go to their 12 dB limit and
// the loudness match lifts the result by its 6 dB limit.
TEST(DeMud, CutsStandingOutBandWithinLimits) {
  DeMudBlock deMud;
  deMud.Prepare(kRate);
  deMud.SetAmount(1.0);
  const std::vector<double> input = Sine(280.0, 0.25, kRate, kTwoSeconds);
  double deepestCutDb = 0.0;
  const std::vector<double> output = RenderObserved(deMud, input, [&] {
    for (int band = 0; band < DeMudBlock::kCutBands; ++band) {
      deepestCutDb = std::min(deepestCutDb, deMud.SmoothedCutDb(band));
    }
  });
  EXPECT_GE(deepestCutDb, -12.0);
  EXPECT_LT(deepestCutDb, -11.9);
  EXPECT_NEAR(SteadyToneGainDb(input, output, 280.0, kRate), -17.3, 0.3);
  EXPECT_NEAR(deMud.MatchGain(), 2.0, 1e-9);
}

TEST(DeMud, LeavesToneAboveItsBandsAlone) {
  const std::vector<double> input = Sine(2000.0, 0.25, kRate, kTwoSeconds);
  EXPECT_NEAR(SteadyToneGainDb(input, RenderOneBay(input, EffectType::DeMud, 1.0), 2000.0, kRate), 0.0, 0.1);
}

// After a prepare the first amount is taken at once; after a type change the amount glides from
// where it was, so a De-Mud set back to 0 still cuts for a while.
TEST(DeMud, AmountJumpsAfterPrepareAndGlidesAfterTypeChange) {
  const std::vector<double> tone = Sine(280.0, 0.25, kRate, 14400);
  std::vector<double> signal = tone;
  RackEngine engine;
  engine.Prepare(kRate);
  RenderMono(engine, signal, SingleBaySettings(EffectType::DeMud, 1.0), 512);
  RenderMono(engine, signal, SingleBaySettings(EffectType::Empty, 0.0), 512);

  signal = tone;
  RenderMono(engine, signal, SingleBaySettings(EffectType::DeMud, 0.0), 512);
  EXPECT_NE(signal, tone);

  engine.Prepare(kRate);
  signal = tone;
  RenderMono(engine, signal, SingleBaySettings(EffectType::DeMud, 0.0), 512);
  EXPECT_EQ(signal, tone);
}

// The amount glides up through the 1 % bypass and later back down, so the crossings fall inside the
// block's chunks of frames. A frame below the bypass passes unchanged and moves no state, so any
// cut of the audio into blocks gives frame-by-frame processing's bits.
TEST(DeMud, GlideThroughBypassGivesFrameByFrameBits) {
  constexpr std::int32_t kFrames = 30000;
  const std::vector<double> leftInput = Sum(Sine(280.0, 0.3, kRate, kFrames), Noise(0.1, kFrames, 5));
  const std::vector<double> rightInput = Sum(Sine(205.0, 0.3, kRate, kFrames), Noise(0.1, kFrames, 6));
  struct Render {
    std::vector<double> left;
    std::vector<double> right;
    std::array<double, DeMudBlock::kCutBands> cutDb;
    double matchGain;
  };
  // The amount is set at frames 2000 and 14000, where every render starts a new block.
  constexpr std::array<std::int32_t, 4> kSetAt = {0, 2000, 14000, kFrames};
  constexpr std::array<double, 3> kAmounts = {0.0, 1.0, 0.0};
  const auto render = [&](std::int32_t blockSize) {
    DeMudBlock deMud;
    deMud.Prepare(kRate);
    Render out{leftInput, rightInput, {}, 0.0};
    for (std::size_t part = 0; part < kAmounts.size(); ++part) {
      deMud.SetAmount(kAmounts[part]);
      for (std::int32_t start = kSetAt[part]; start < kSetAt[part + 1]; start += blockSize) {
        deMud.Process(out.left.data() + start, out.right.data() + start, std::min(blockSize, kSetAt[part + 1] - start));
      }
    }
    for (int band = 0; band < DeMudBlock::kCutBands; ++band) {
      out.cutDb[static_cast<std::size_t>(band)] = deMud.SmoothedCutDb(band);
    }
    out.matchGain = deMud.MatchGain();
    return out;
  };
  const Render frameByFrame = render(1);
  // Bypassed until the glide passes 1 %, which takes a few dozen frames.
  EXPECT_TRUE(std::equal(leftInput.begin(), leftInput.begin() + 2020, frameByFrame.left.begin()));
  EXPECT_NE(frameByFrame.left[2100], leftInput[2100]);
  EXPECT_EQ(frameByFrame.right.back(), rightInput.back()) << "the glide down passes the bypass before the end";
  for (std::int32_t blockSize : {37, 64, 512}) {
    const Render other = render(blockSize);
    EXPECT_EQ(other.left, frameByFrame.left) << "block " << blockSize;
    EXPECT_EQ(other.right, frameByFrame.right) << "block " << blockSize;
    EXPECT_EQ(other.cutDb, frameByFrame.cutDb) << "block " << blockSize;
    EXPECT_EQ(other.matchGain, frameByFrame.matchGain) << "block " << blockSize;
  }
}

// ---- Loudness match ------------------------------------------------------------------------------

// Chunked updates carry the state from one call to the next, through a silent start where the gain
// holds and on into sound, exactly as frame-by-frame updates do.
TEST(LoudnessMatch, UpdatesOverFramesGiveFrameByFrameGains) {
  const std::vector<double> input = Noise(0.5, 3000, 31);
  const std::vector<double> output = Sum(Noise(0.3, 3000, 32), Sine(250.0, 0.4, kRate, 3000));
  std::vector<double> inputSquares(input.size());
  std::vector<double> outputSquares(input.size());
  for (std::size_t i = 0; i < input.size(); ++i) {
    const bool silent = i < 1000;
    inputSquares[i] = silent ? 0.0 : input[i] * input[i];
    outputSquares[i] = silent ? 0.0 : output[i] * output[i];
  }
  LoudnessMatch frameByFrame(0.1, 0.05);
  LoudnessMatch chunked(0.1, 0.05);
  frameByFrame.Prepare(kRate);
  chunked.Prepare(kRate);
  std::vector<double> expected(input.size());
  for (std::size_t i = 0; i < input.size(); ++i) {
    expected[i] = frameByFrame.Update(inputSquares[i], outputSquares[i]);
  }
  std::vector<double> gains(input.size());
  for (std::size_t start = 0; start < input.size(); start += 61) {
    const auto count = static_cast<std::int32_t>(std::min<std::size_t>(61, input.size() - start));
    chunked.UpdateFrames(&inputSquares[start], &outputSquares[start], &gains[start], count);
  }
  EXPECT_EQ(gains, expected);
  EXPECT_EQ(chunked.Gain(), frameByFrame.Gain());
  EXPECT_EQ(expected[999], 1.0) << "the gain holds through the silence";
  EXPECT_NE(expected.back(), 1.0) << "and moves once there is sound";
}

// ---- De-Harsh -----------------------------------------------------------------------------------

class DeHarshLatency : public ::testing::TestWithParam<std::pair<double, std::int32_t>> {};

// At amount 0 the mix is all dry: the input, delayed by exactly the look-ahead the engine reports.
TEST_P(DeHarshLatency, AmountZeroIsInputDelayedByReportedLatency) {
  const auto [rate, latency] = GetParam();
  RackEngine engine;
  engine.Prepare(rate);
  const EngineSettings settings = SingleBaySettings(EffectType::DeHarsh, 0.0);
  EXPECT_EQ(engine.LatencySamples(settings), latency);

  const std::vector<double> input = BusySignal(4096);
  std::vector<double> output = input;
  RenderMono(engine, output, settings, 64);
  for (std::size_t i = 0; i < input.size(); ++i) {
    const double expected = i < static_cast<std::size_t>(latency) ? 0.0 : input[i - static_cast<std::size_t>(latency)];
    ASSERT_EQ(output[i], expected) << "frame " << i;
  }
}

INSTANTIATE_TEST_SUITE_P(Rates, DeHarshLatency, ::testing::Values(std::pair{48000.0, 96}, std::pair{44100.0, 88}));

TEST(DeHarsh, CutsHarshToneByAtMostTenDbPerBand) {
  DeHarshBlock deHarsh;
  deHarsh.Prepare(kRate);
  deHarsh.SetAmount(1.0);
  const std::vector<double> input = Sine(3500.0, DbfsToAmplitude(-10.5), kRate, kTwoSeconds);
  double smallestGain = 1.0;
  const std::vector<double> output = RenderObserved(deHarsh, input, [&] {
    for (int band = 0; band < DeHarshBlock::kCutBands; ++band) {
      smallestGain = std::min(smallestGain, deHarsh.SmoothedGain(band));
    }
  });
  EXPECT_GE(AmplitudeToDb(smallestGain), -10.0 - 1e-9);
  EXPECT_NEAR(SteadyToneGainDb(input, output, 3500.0, kRate), -6.9, 0.2);
}

TEST(DeHarsh, LeavesToneBelowItsBandsAlone) {
  const std::vector<double> input = Sine(1000.0, 0.25, kRate, kTwoSeconds);
  EXPECT_NEAR(SteadyToneGainDb(input, RenderOneBay(input, EffectType::DeHarsh, 1.0), 1000.0, kRate), 0.0, 0.05);
}

// ---- De-Esser -----------------------------------------------------------------------------------

struct DeEsserPassCase {
  double frequency;
  double amount;
};

class DeEsserPass : public ::testing::TestWithParam<DeEsserPassCase> {};

// Either the amount is below its bypass or the detector stays below threshold, and then subtracting
// the band-passed part times zero leaves every sample as it was.
TEST_P(DeEsserPass, IsBitExact) {
  const std::vector<double> input = Sine(GetParam().frequency, DbfsToAmplitude(-6.0), kRate, kTwoSeconds);
  EXPECT_EQ(RenderOneBay(input, EffectType::DeEsser, GetParam().amount), input);
}

INSTANTIATE_TEST_SUITE_P(Cases, DeEsserPass,
                         ::testing::Values(DeEsserPassCase{1000.0, 1.0}, DeEsserPassCase{1000.0, 0.5},
                                           DeEsserPassCase{6000.0, 0.0}));

TEST(DeEsser, CutsSibilanceWithGainFloor) {
  DeEsserBlock deEsser;
  deEsser.Prepare(kRate);
  deEsser.SetAmount(1.0);
  const std::vector<double> input = Sine(6000.0, DbfsToAmplitude(-6.0), kRate, kTwoSeconds);
  double smallestGain = 1.0;
  const std::vector<double> output =
      RenderObserved(deEsser, input, [&] { smallestGain = std::min(smallestGain, deEsser.BandGain()); });
  EXPECT_EQ(smallestGain, 0.05);
  EXPECT_LT(SteadyToneGainDb(input, output, 6000.0, kRate), -12.0);
}

// At a 9 kHz rate all three design frequencies sit at 4410 Hz, just below half the rate: the block
// stays stable and still cuts what reaches its detector.
TEST(DeEsser, LowRateKeepsFiltersBelowHalfTheRate) {
  constexpr double kLowRate = 9000.0;
  const std::vector<double> input = Sine(4450.0, DbfsToAmplitude(-6.0), kLowRate, 2 * 9000);
  const std::vector<double> output = RenderOneBay(input, EffectType::DeEsser, 1.0, 0, kLowRate);
  ASSERT_TRUE(AllFinite(output));
  EXPECT_LT(SteadyToneGainDb(input, output, 4450.0, kLowRate), -3.0);
}

}  // namespace
