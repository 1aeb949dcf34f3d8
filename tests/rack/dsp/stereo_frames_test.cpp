// The two-lane helpers of the stage-wise blocks against the scalar code they stand for, bit for bit:
// the blocks' renders stay exact only if every lane computes what its scalar does.
#include <gtest/gtest.h>

#include <array>
#include <bit>
#include <cstdint>
#include <limits>
#include <random>
#include <vector>

#include "rack/dsp/biquad.h"
#include "rack/dsp/biquad_reuse.h"
#include "rack/dsp/envelope_follower.h"
#include "rack/dsp/glide_steps.h"
#include "rack/dsp/stereo_biquad.h"
#include "rack/dsp/stereo_envelope.h"
#include "rack/dsp/stereo_frames.h"

using namespace tarnwell::dsp;

namespace {

constexpr double kRate = 48000.0;

std::uint64_t BitsOf(double value) { return std::bit_cast<std::uint64_t>(value); }

std::vector<double> Noise(std::size_t count, unsigned seed) {
  std::mt19937 generator(seed);
  std::uniform_real_distribution<double> sample(-1.0, 1.0);
  std::vector<double> values(count);
  for (double& value : values) {
    value = sample(generator);
  }
  return values;
}

TEST(StereoFrames, BiquadPairRunsEachLaneAsItsOwnBiquad) {
  Biquad first;
  Biquad second;
  DesignBandPass(first, kRate, 2500.0, 1.5);
  DesignHighPass(second, kRate, 700.0, 0.7);
  first.z1 = 0.25;
  second.z2 = -0.5;
  Biquad firstAlone = first;
  Biquad secondAlone = second;
  const std::vector<double> left = Noise(200, 1);
  const std::vector<double> right = Noise(200, 2);
  BiquadPair pair(first, second);
  for (std::size_t i = 0; i < left.size(); ++i) {
    const StereoFrame y = pair.Run(StereoFrame{left[i], right[i]});
    ASSERT_EQ(BitsOf(y[0]), BitsOf(firstAlone.Run(left[i]))) << i;
    ASSERT_EQ(BitsOf(y[1]), BitsOf(secondAlone.Run(right[i]))) << i;
  }
  pair.SaveStates(first, second);
  EXPECT_EQ(BitsOf(first.z1), BitsOf(firstAlone.z1));
  EXPECT_EQ(BitsOf(first.z2), BitsOf(firstAlone.z2));
  EXPECT_EQ(BitsOf(second.z1), BitsOf(secondAlone.z1));
  EXPECT_EQ(BitsOf(second.z2), BitsOf(secondAlone.z2));
}

// A cascade of peaks whose gains move every frame, against the per-frame redesign it replaces; the
// next chunk must continue from the states and the last design the first one left.
TEST(StereoFrames, CascadeWithDesignsMatchesRedesigningFrameByFrame) {
  constexpr std::size_t kSections = 4;
  constexpr std::array<std::int32_t, 3> kChunks = {kStereoChunkFrames, 1, 37};
  const std::vector<double> left = Noise(200, 3);
  const std::vector<double> right = Noise(200, 4);
  std::array<StereoBiquad, kSections> staged{};
  std::array<StereoBiquad, kSections> framewise{};
  std::size_t start = 0;
  for (const std::int32_t chunk : kChunks) {
    std::array<std::array<SectionDesign, kStereoChunkFrames>, kSections> designs;
    std::array<StereoFrame, kStereoChunkFrames> frames;
    for (std::int32_t i = 0; i < chunk; ++i) {
      const std::size_t at = start + static_cast<std::size_t>(i);
      frames[static_cast<std::size_t>(i)] = StereoFrame{left[at], right[at]};
      for (std::size_t k = 0; k < kSections; ++k) {
        const double amplitude = 0.3 + 0.6 * static_cast<double>((at * (k + 3)) % 17) / 17.0;
        DesignPeakWithOneDivision(designs[k][static_cast<std::size_t>(i)], 0.9 - 0.2 * static_cast<double>(k),
                                  0.05 + 0.02 * static_cast<double>(k), amplitude);
      }
    }
    RunCascadeWithDesigns(SectionsOf(staged),
                          {designs[0].data(), designs[1].data(), designs[2].data(), designs[3].data()}, frames.data(),
                          chunk);
    for (std::int32_t i = 0; i < chunk; ++i) {
      const std::size_t at = start + static_cast<std::size_t>(i);
      StereoSample x{left[at], right[at]};
      for (std::size_t k = 0; k < kSections; ++k) {
        const SectionDesign& d = designs[k][static_cast<std::size_t>(i)];
        framewise[k].SetCoefficients(Biquad{d.b0, d.b1, d.b2, d.a1, d.a2});
        x = framewise[k].Run(x);
      }
      ASSERT_EQ(BitsOf(frames[static_cast<std::size_t>(i)][0]), BitsOf(x[0])) << at;
      ASSERT_EQ(BitsOf(frames[static_cast<std::size_t>(i)][1]), BitsOf(x[1])) << at;
    }
    for (std::size_t k = 0; k < kSections; ++k) {
      EXPECT_EQ(BitsOf(staged[k].b0), BitsOf(framewise[k].b0)) << k;
      EXPECT_EQ(BitsOf(staged[k].a2), BitsOf(framewise[k].a2)) << k;
    }
    start += static_cast<std::size_t>(chunk);
  }
}

TEST(StereoFrames, EnvelopeFollowerGivesEachLaneTheScalarsBits) {
  constexpr double kNaN = std::numeric_limits<double>::quiet_NaN();
  // Rising and falling differ per lane, as when two bands of different speeds share a pair.
  constexpr std::array<double, 2> kRising = {0.9, 0.99};
  constexpr std::array<double, 2> kFalling = {0.999, 0.9999};
  std::vector<double> levels = Noise(400, 5);
  // Silence, -0.0 and NaN must follow the scalar too.
  levels.insert(levels.end(), {0.0, 0.0, -0.0, 0.5, kNaN, 0.0, 0.25});
  std::array<double, 2> scalar = {0.0, 0.0};
  StereoFrame both{0.0, 0.0};
  for (std::size_t i = 0; i < levels.size(); ++i) {
    const std::array<double, 2> level = {levels[i], levels[(i * 31) % levels.size()]};
    both = StereoFollowEnvelope(both, StereoAbs(StereoFrame{level[0], level[1]}), StereoFrame{kRising[0], kRising[1]},
                                StereoFrame{kFalling[0], kFalling[1]});
    for (std::size_t lane = 0; lane < 2; ++lane) {
      scalar[lane] = FollowEnvelope(scalar[lane], std::fabs(level[lane]), kRising[lane], kFalling[lane]);
      ASSERT_EQ(BitsOf(both[lane]), BitsOf(scalar[lane])) << "lane " << lane << " frame " << i;
    }
    if (std::isnan(scalar[0]) || std::isnan(scalar[1])) {
      scalar = {0.0, 0.0};
      both = StereoFrame{0.0, 0.0};
    }
  }
}

// The chunked glide, settled or not, against one step per frame; a glide that settles within a chunk
// takes the shortcut from there on.
TEST(GlideSteps, MatchStepsOneFrameAtATime) {
  struct Case {
    const char* what;
    double start;
    double target;
    double coefficient;
  };
  const std::vector<Case> cases = {
      {"settled", 0.5, 0.5, 0.999},
      {"slow glide", 0.0, 1.0, 0.999},
      {"settles within a chunk", 0.0, 0.7, 0.5},
      {"downwards to zero", 1.0, 0.0, 0.3},
  };
  for (const Case& c : cases) {
    double chunked = c.start;
    double framewise = c.start;
    for (const std::int32_t frames : {kStereoChunkFrames, 5, kStereoChunkFrames, kStereoChunkFrames}) {
      std::array<double, kStereoChunkFrames> values;
      StepGlide(chunked, c.target, c.coefficient, values.data(), frames);
      for (std::int32_t i = 0; i < frames; ++i) {
        framewise = SmoothTowards(framewise, c.target, c.coefficient);
        ASSERT_EQ(BitsOf(values[static_cast<std::size_t>(i)]), BitsOf(framewise)) << c.what << " frame " << i;
      }
      ASSERT_EQ(BitsOf(chunked), BitsOf(framewise)) << c.what;
    }
  }
}

}  // namespace
