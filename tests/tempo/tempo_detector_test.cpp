// TempoDetector on material with a known tempo (signals/drum_loop.h): what it
// publishes for click tracks and drum loops at many tempos, with its folding of fast tempos to
// half time, swing, noise, level steps, tempo changes and silence; when it first publishes; and
// that the onset history does not depend on how the host cuts the stream.
#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <vector>

#include "signals/drum_loop.h"
#include "tempo/tempo_detector.h"

namespace {

using tarnwell::signals::DrumLoop;
using tarnwell::signals::DrumPattern;
using tarnwell::signals::RenderDrumLoop;

struct Reading {
  double bpm = 0.0;
  double confidence = 0.0;
};

// Feeds the signal in blocks and keeps what was published at the end of every whole second.
struct Detection {
  std::vector<Reading> perSecond;  // [s] is the reading after s seconds; [0] unused
  double firstPublishedAt = -1.0;  // seconds, or -1

  Detection(const std::vector<double>& signal, double rate, int32_t block = 512) {
    TempoDetector detector;
    detector.Prepare(rate);
    perSecond.resize(static_cast<size_t>(static_cast<double>(signal.size()) / rate) + 1);
    size_t second = 1;
    for (size_t start = 0; start < signal.size(); start += static_cast<size_t>(block)) {
      const auto frames = static_cast<int32_t>(std::min(signal.size() - start, static_cast<size_t>(block)));
      detector.Feed(signal.data() + start, nullptr, frames);
      const double t = static_cast<double>(start + static_cast<size_t>(frames)) / rate;
      if (firstPublishedAt < 0.0 && detector.detectedBpm > 0.0) firstPublishedAt = t;
      for (; second < perSecond.size() && t >= static_cast<double>(second); ++second)
        perSecond[second] = {detector.detectedBpm, detector.detectedConfidence};
    }
  }
  const Reading& At(size_t seconds) const { return perSecond.at(seconds); }
};

DrumLoop Loop(DrumPattern pattern, double bpm, double swing = 0.5) {
  DrumLoop loop;
  loop.pattern = pattern;
  loop.bpm = bpm;
  loop.swing = swing;
  return loop;
}

// From 5 s on the tempo stays at the pinned value: the lag grid of 5625 / L BPM refined
// by a parabola, then folded. Tempos over 145 come out at half time.
TEST(TempoDetector, ClickTracksPublishTheirTempoOrHalfOfIt) {
  const struct {
    double bpm, published, tolerance, minConfidence;
  } cases[] = {
      {80, 80.13, 0.05, 0.7},    {90, 90.45, 0.35, 0.85},   {100, 100.18, 0.05, 0.85}, {110, 110.12, 0.05, 0.85},
      {120, 119.86, 0.05, 0.85}, {128, 127.93, 0.05, 0.85}, {140, 140.27, 0.05, 0.85}, {145, 144.69, 0.05, 0.85},
      {150, 149.2, 0.3, 0.85},   {160, 80.16, 0.05, 0.85},  {170, 85.09, 0.05, 0.85},  {180, 90.45, 0.35, 0.85},
      {200, 100.17, 0.05, 0.85}, {220, 110.13, 0.05, 0.85},
  };
  for (const auto& c : cases) {
    const Detection run(RenderDrumLoop(Loop(DrumPattern::Clicks, c.bpm), 48000.0, 12.0), 48000.0);
    for (size_t s = 5; s <= 12; ++s) {
      EXPECT_NEAR(run.At(s).bpm, c.published, c.tolerance) << c.bpm << " BPM at " << s << " s";
      EXPECT_GE(run.At(s).confidence, c.minConfidence) << c.bpm << " BPM at " << s << " s";
    }
  }
}

// The weight towards 120 BPM sits inside the confidence: 70 BPM barely clears 0.3, late, and
// 60 or 50 BPM never publishes.
TEST(TempoDetector, SlowClickTracksPublishLateOrNever) {
  const Detection seventy(RenderDrumLoop(Loop(DrumPattern::Clicks, 70), 48000.0, 16.0), 48000.0);
  EXPECT_GT(seventy.firstPublishedAt, 8.0);
  EXPECT_NEAR(seventy.At(16).bpm, 70.09, 0.05);
  EXPECT_LE(seventy.At(16).confidence, 0.35);
  for (double bpm : {60.0, 50.0}) {
    const Detection run(RenderDrumLoop(Loop(DrumPattern::Clicks, bpm), 48000.0, 16.0), 48000.0);
    EXPECT_EQ(run.firstPublishedAt, -1.0) << bpm;
  }
}

// Four seconds of hops (375 at 48 kHz, 344 at 44.1 kHz), rounded up to the 24-hop estimate
// cadence, then two more estimates for the tracker's streak of three.
TEST(TempoDetector, FirstPublishesThreeEstimatesAfterFourSecondsOfHops) {
  for (const auto& [rate, hop] : {std::pair{48000.0, 432}, std::pair{44100.0, 408}}) {
    const Detection run(RenderDrumLoop(Loop(DrumPattern::Clicks, 120), rate, 6.0), rate);
    EXPECT_DOUBLE_EQ(run.firstPublishedAt, hop * 512 / rate) << rate;
  }
}

// Kick, snare and eighth hats: swing moves only the off-beats and changes nothing; fast loops
// come out at half time.
TEST(TempoDetector, DrumLoopsStraightAndSwung) {
  const struct {
    double bpm, swing, published, tolerance;
  } cases[] = {
      {90, 0.5, 90.45, 0.35},         {90, 2.0 / 3.0, 90.45, 0.35},   {120, 0.5, 119.88, 0.05},
      {120, 2.0 / 3.0, 119.88, 0.05}, {128, 2.0 / 3.0, 127.94, 0.05}, {150, 0.5, 74.6, 0.45},
      {174, 0.5, 86.88, 0.05},        {174, 2.0 / 3.0, 86.88, 0.05},
  };
  for (const auto& c : cases) {
    const Detection run(RenderDrumLoop(Loop(DrumPattern::Backbeat, c.bpm, c.swing), 48000.0, 14.0), 48000.0);
    for (size_t s = 8; s <= 14; ++s)
      EXPECT_NEAR(run.At(s).bpm, c.published, c.tolerance) << c.bpm << " BPM, swing " << c.swing << ", " << s << " s";
  }
}

TEST(TempoDetector, NoiseUnderClicksAndNoiseAlone) {
  const struct {
    double noiseRms;
    size_t from;  // seconds
  } cases[] = {{0.03, 5}, {0.1, 8}};
  for (const auto& c : cases) {
    DrumLoop loop = Loop(DrumPattern::Clicks, 120);
    loop.noiseRms = c.noiseRms;
    const Detection run(RenderDrumLoop(loop, 48000.0, 16.0), 48000.0);
    for (size_t s = c.from; s <= 16; ++s) EXPECT_NEAR(run.At(s).bpm, 119.8, 0.3) << c.noiseRms << " at " << s << " s";
  }
  std::vector<double> alone(16 * 48000);
  uint32_t seed = 5;
  for (double& v : alone) {
    seed = seed * 1664525u + 1013904223u;
    v = 0.1 * std::sqrt(3.0) * (static_cast<double>(seed >> 8) / 8388608.0 - 1.0);
  }
  const Detection run(alone, 48000.0);
  for (size_t s = 1; s <= 16; ++s) {
    EXPECT_EQ(run.At(s).bpm, 0.0) << s;
    EXPECT_LE(run.At(s).confidence, 0.2) << s;
  }
}

TEST(TempoDetector, LevelStepsDoNotMoveTheTempo) {
  DrumLoop loop = Loop(DrumPattern::Clicks, 120);
  loop.levelStepSeconds = 2.5;
  loop.levelStepsDb = {0.0, -24.0, 6.0, -12.0};
  const Detection run(RenderDrumLoop(loop, 48000.0, 20.0), 48000.0);
  for (size_t s = 6; s <= 20; ++s) {
    EXPECT_NEAR(run.At(s).bpm, 119.85, 0.3) << s;
    EXPECT_GE(run.At(s).confidence, 0.85) << s;
  }
}

// A small change is followed smoothly; a large one waits until 24 agreeing estimates break
// the lock, the confidence decaying meanwhile.
TEST(TempoDetector, TempoChangesAreFollowedOrBreakTheLock) {
  DrumLoop small = Loop(DrumPattern::Clicks, 100);
  small.changeAtSeconds = 20.0;
  small.changedBpm = 104.0;
  const Detection gradual(RenderDrumLoop(small, 48000.0, 30.0), 48000.0);
  for (size_t s = 20; s <= 30; ++s) {
    EXPECT_GE(gradual.At(s).bpm, 100.0) << s;
    EXPECT_LE(gradual.At(s).bpm, 104.5) << s;
  }
  EXPECT_NEAR(gradual.At(28).bpm, 104.0, 0.5);

  DrumLoop large = small;
  large.changedBpm = 130.0;
  const Detection jump(RenderDrumLoop(large, 48000.0, 34.0), 48000.0);
  for (size_t s = 20; s <= 29; ++s) EXPECT_NEAR(jump.At(s).bpm, 100.16, 0.1) << s;
  EXPECT_LT(jump.At(29).confidence, 0.9);
  EXPECT_GE(jump.At(29).confidence, 0.8);
  for (size_t s = 32; s <= 34; ++s) EXPECT_NEAR(jump.At(s).bpm, 130.27, 0.1) << s;
}

// Digital silence keeps the locked tempo at confidence 0.4 for a while, then clears it. In
// 64-sample blocks the gaps between clicks already count as silence (the level follows
// blocks, not samples), which holds the confidence at 0.4.
TEST(TempoDetector, SilenceCalmsThenClearsAndSmallBlocksHearGapsAsSilence) {
  DrumLoop loop = Loop(DrumPattern::Clicks, 120);
  loop.silenceAtSeconds = 20.0;
  const Detection run(RenderDrumLoop(loop, 48000.0, 28.0), 48000.0);
  EXPECT_NEAR(run.At(20).confidence, 1.0, 1e-9);
  EXPECT_NEAR(run.At(23).bpm, 119.85, 0.05);
  EXPECT_NEAR(run.At(23).confidence, 0.4, 1e-9);
  EXPECT_EQ(run.At(27).bpm, 0.0);
  EXPECT_EQ(run.At(27).confidence, 0.0);

  // In 64-sample blocks the locked tempo calms to 0.4 and, after 20 "silent" estimates,
  // clears once although the clicks go on.
  const Detection small(RenderDrumLoop(Loop(DrumPattern::Clicks, 120), 48000.0, 21.0), 48000.0, 64);
  for (size_t s = 5; s <= 12; ++s) EXPECT_NEAR(small.At(s).bpm, 119.86, 0.05) << s;
  for (size_t s = 18; s <= 20; ++s) EXPECT_NEAR(small.At(s).confidence, 0.4, 1e-9) << s;
  EXPECT_EQ(small.At(21).bpm, 0.0);
}

std::vector<float> OnsetHistory(const std::vector<double>& left, const std::vector<double>* right,
                                const std::vector<int32_t>& blocks, bool leftAbsent = false) {
  TempoDetector detector;
  detector.Prepare(48000.0);
  size_t start = 0;
  for (size_t b = 0; start < left.size(); ++b) {
    const auto frames =
        static_cast<int32_t>(std::min(left.size() - start, static_cast<size_t>(blocks[b % blocks.size()])));
    detector.Feed(leftAbsent ? nullptr : left.data() + start, right != nullptr ? right->data() + start : nullptr,
                  frames);
    start += static_cast<size_t>(frames);
  }
  return {detector.OnsetRing().begin(), detector.OnsetRing().end()};
}

TEST(TempoDetector, OnsetHistoryIsTheSameForAnyBlockSizeAndChannelRule) {
  const std::vector<double> signal = RenderDrumLoop(Loop(DrumPattern::Backbeat, 120), 48000.0, 5.0);
  const std::vector<float> reference = OnsetHistory(signal, nullptr, {512});
  ASSERT_GT(std::count_if(reference.begin(), reference.end(), [](float v) { return v > 0.0f; }), 50);
  uint32_t seed = 99;
  std::vector<int32_t> random;
  for (int i = 0; i < 64; ++i) {
    seed = seed * 1664525u + 1013904223u;
    random.push_back(static_cast<int32_t>(seed >> 22));  // 0..1023, zero-frame calls included
  }
  for (const auto& blocks : {std::vector<int32_t>{64}, {480}, {1}, {8192}, random})
    EXPECT_EQ(OnsetHistory(signal, nullptr, blocks), reference) << "first block " << blocks[0];

  // No right channel repeats the left; no left channel leaves half the right.
  EXPECT_EQ(OnsetHistory(signal, &signal, {512}), reference);
  std::vector<double> doubled(signal.size());
  for (size_t i = 0; i < signal.size(); ++i) doubled[i] = 2.0 * signal[i];
  EXPECT_EQ(OnsetHistory(signal, &doubled, {512}, true), reference);
}

// A NaN, an infinity or a sample beyond single precision would stick the level; they count as
// silence for the analysis, and the detector carries on.
TEST(TempoDetector, SamplesThatAreNotFiniteDoNotStickTheLevel) {
  DrumLoop loop = Loop(DrumPattern::Clicks, 120);
  loop.silenceAtSeconds = 14.0;
  std::vector<double> signal = RenderDrumLoop(loop, 48000.0, 22.0);
  const double bad[] = {std::numeric_limits<double>::quiet_NaN(), std::numeric_limits<double>::infinity(),
                        -std::numeric_limits<double>::infinity(), -1e300};
  for (size_t i = 0; i < 4; ++i)
    for (size_t k = 0; k < 40; ++k) signal[static_cast<size_t>((6.0 + i) * 48000.0) + k] = bad[i];
  const Detection run(signal, 48000.0);
  for (size_t s = 6; s <= 13; ++s) EXPECT_NEAR(run.At(s).bpm, 119.85, 0.05) << s;
  EXPECT_EQ(run.At(22).bpm, 0.0);

  TempoDetector detector;
  detector.Prepare(48000.0);
  // A finite sample too large to square in single precision leaves the level as it was.
  for (double sample : {std::numeric_limits<double>::quiet_NaN(), std::numeric_limits<double>::infinity(), 1e30}) {
    std::vector<double> block(512, sample);
    detector.Feed(block.data(), block.data(), 512);
    EXPECT_TRUE(std::isfinite(detector.Level())) << sample;
  }
}

// Up to 384 kHz: the four seconds of history would exceed the onset ring from 262 kHz on,
// so the wait is capped at a full ring.
TEST(TempoDetector, HighSampleRatesPublishToo) {
  for (const auto& [rate, bpm] : {std::pair{352800.0, 120.0}, std::pair{384000.0, 140.0}}) {
    const Detection run(RenderDrumLoop(Loop(DrumPattern::Clicks, bpm), rate, 8.0), rate);
    EXPECT_GT(run.firstPublishedAt, 0.0) << rate;
    EXPECT_NEAR(run.At(8).bpm, bpm, bpm * 0.005) << rate;
  }
}

TEST(TempoDetector, PrepareReplacesUnusableRatesAndAnEmptyBlockDecaysTheLevel) {
  TempoDetector detector;
  for (double rate :
       {1.0, 0.0, -44100.0, std::numeric_limits<double>::quiet_NaN(), std::numeric_limits<double>::infinity()}) {
    detector.Prepare(rate);
    EXPECT_EQ(detector.SampleRate(), 48000.0) << rate;
  }
  detector.Prepare(96000.0);
  EXPECT_EQ(detector.SampleRate(), 96000.0);
  const std::vector<double> ones(100, 1.0);
  detector.Feed(ones.data(), nullptr, 100);
  EXPECT_DOUBLE_EQ(detector.Level(), 0.08);
  detector.Feed(nullptr, nullptr, 0);
  EXPECT_DOUBLE_EQ(detector.Level(), 0.08 * 0.92);
  detector.Feed(ones.data(), nullptr, -5);
  EXPECT_DOUBLE_EQ(detector.Level(), 0.08 * 0.92 * 0.92);
}

// A detector that was never prepared prepares itself for 48 kHz on its first block.
TEST(TempoDetector, FeedPreparesAnUnpreparedDetector) {
  TempoDetector detector;
  const std::vector<double> signal = RenderDrumLoop(Loop(DrumPattern::Clicks, 120), 48000.0, 6.0);
  for (size_t start = 0; start < signal.size(); start += 512)
    detector.Feed(signal.data() + start, nullptr, static_cast<int32_t>(std::min<size_t>(512, signal.size() - start)));
  EXPECT_NEAR(detector.detectedBpm, 119.85, 0.05);
  EXPECT_EQ(detector.OnsetCount(), static_cast<int32_t>(signal.size() / 512));
}

}  // namespace
