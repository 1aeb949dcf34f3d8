#include <gtest/gtest.h>

#include <cstdint>
#include <string>
#include <vector>

#include "rack_render.h"
#include "signals.h"

using namespace tarnwell::dsp;

namespace {

struct BlockCase {
  std::string name;
  EffectType type;
  std::int32_t character;
};

std::string CaseName(const ::testing::TestParamInfo<BlockCase>& info) { return info.param.name; }

StereoSignal TestSignal(double rate, std::int32_t frames) {
  // Loud and quiet passages so detectors, gates and levellers all move.
  StereoSignal signal{Sum(Sine(220.0, 0.4, rate, frames), Noise(0.2, frames, 21)),
                      Sum(Sine(330.0, 0.3, rate, frames), Noise(0.2, frames, 22))};
  for (std::size_t i = 0; i < signal.left.size(); ++i) {
    const double envelope = (i / 6000) % 3 == 2 ? 0.001 : 1.0;
    signal.left[i] *= envelope;
    signal.right[i] *= envelope;
  }
  return signal;
}

StereoSignal Render(const BlockCase& c, double rate, double amount, std::int32_t blockSize, std::int32_t frames) {
  RackEngine engine;
  engine.Prepare(rate);
  StereoSignal signal = TestSignal(rate, frames);
  RenderStereo(engine, signal, SingleBaySettings(c.type, amount, c.character), blockSize);
  return signal;
}

// The blocks work frame by frame, so cutting the same audio into other block sizes must not change a
// sample; a difference points at state kept per block by mistake. Blocks of 37 frames end a block's
// vector loops at every position of a line and leave tails that no lane width divides.
class BlockSizeInvariance : public ::testing::TestWithParam<BlockCase> {};

TEST_P(BlockSizeInvariance, SameOutputInBlocksOfAnySize) {
  constexpr std::int32_t kFrames = 24000;
  const StereoSignal reference = Render(GetParam(), 48000.0, 0.7, 512, kFrames);
  for (std::int32_t blockSize : {1, 37, 64}) {
    const StereoSignal other = Render(GetParam(), 48000.0, 0.7, blockSize, kFrames);
    for (std::size_t i = 0; i < reference.left.size(); ++i) {
      ASSERT_NEAR(other.left[i], reference.left[i], 1e-12) << "block " << blockSize << " frame " << i;
      ASSERT_NEAR(other.right[i], reference.right[i], 1e-12) << "block " << blockSize << " frame " << i;
    }
  }
}

// The compressor smooths its amount once per block, the trimmer ramps its first block over the
// block's length and the tape designs its filters for the block's amount, so they are left out here
// by design.
const std::vector<BlockCase> kFrameByFrameBlocks = {
    {"Gate", EffectType::Gate, 0},
    {"Glue", EffectType::Glue, 0},
    {"DeMud", EffectType::DeMud, 0},
    {"DeHarsh", EffectType::DeHarsh, 0},
    {"DeEsser", EffectType::DeEsser, 0},
    {"Presence", EffectType::Presence, 0},
    {"Tilt", EffectType::Tilt, 0},
    {"WidthSideBand", EffectType::Width, 0},
    {"WidthHighBand", EffectType::Width, 1},
    {"Clip", EffectType::Clip, 0},
    {"Delay", EffectType::Delay, 11},
    {"SaturatorLowSplit", EffectType::Saturator, 0},
    {"SaturatorHighSplit", EffectType::Saturator, 2},
    {"Saturator", EffectType::Saturator, 3},
    {"Air", EffectType::Air, 0},
    {"Plate", EffectType::Plate, 0},
    {"Shimmer", EffectType::Shimmer, 0},
};

INSTANTIATE_TEST_SUITE_P(Blocks, BlockSizeInvariance, ::testing::ValuesIn(kFrameByFrameBlocks), CaseName);

// At the lowest rates several fixed design frequencies lie above half the rate; nothing may blow up.
class FiniteAtEveryRate : public ::testing::TestWithParam<BlockCase> {};

TEST_P(FiniteAtEveryRate, AmountOneStaysFinite) {
  for (double rate : {8001.0, 11025.0, 16000.0, 22050.0, 32000.0, 44100.0, 192000.0}) {
    const StereoSignal output = Render(GetParam(), rate, 1.0, 128, static_cast<std::int32_t>(rate));
    EXPECT_TRUE(AllFinite(output.left)) << "rate " << rate;
    EXPECT_TRUE(AllFinite(output.right)) << "rate " << rate;
  }
}

INSTANTIATE_TEST_SUITE_P(Blocks, FiniteAtEveryRate, ::testing::ValuesIn(kFrameByFrameBlocks), CaseName);
INSTANTIATE_TEST_SUITE_P(PerBlockSmoothing, FiniteAtEveryRate,
                         ::testing::Values(BlockCase{"Compressor0", EffectType::Compressor, 0},
                                           BlockCase{"Compressor1", EffectType::Compressor, 1},
                                           BlockCase{"Compressor2", EffectType::Compressor, 2},
                                           BlockCase{"Compressor3", EffectType::Compressor, 3},
                                           BlockCase{"Trimmer", EffectType::Trimmer, 0},
                                           BlockCase{"Tape", EffectType::Tape, 0}),
                         CaseName);

}  // namespace
