// Bays skip their work on a silence once their tails have died: against the full computation the
// output never moves by more than 1e-9, through the silence and after the sound comes back.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <string>
#include <vector>

#include "rack/dsp/engine.h"
#include "rack_render.h"
#include "signals.h"

using namespace tarnwell::dsp;

namespace {

constexpr double kRate = 11025.0;
constexpr std::int32_t kBlock = 128;
constexpr double kLargestDeviation = 1e-9;
// Past the bays' settle time of 10 s, so the quickest reach idle inside the silence.
constexpr double kSilenceSeconds = 11.5;

std::int32_t Frames(double seconds) { return static_cast<std::int32_t>(seconds * kRate); }

// A voiced tone with a noise burst and a hard onset, so detectors, envelopes and tails all move.
StereoSignal Phrase(std::uint32_t seed) {
  const std::int32_t frames = Frames(0.4);
  std::vector<double> left = Sum(Sine(220.0, 0.4, kRate, frames), Sine(2900.0, 0.15, kRate, frames, 0.3));
  left = Sum(left, Noise(0.2, frames, seed));
  std::vector<double> right = Sum(Sine(223.0, 0.35, kRate, frames, 1.0), Noise(0.25, frames, seed + 7));
  return {left, right};
}

StereoSignal Silence(double seconds) {
  return {std::vector<double>(static_cast<std::size_t>(Frames(seconds)), 0.0),
          std::vector<double>(static_cast<std::size_t>(Frames(seconds)), 0.0)};
}

double LargestDifference(const StereoSignal& a, const StereoSignal& b) {
  double largest = 0.0;
  for (std::size_t i = 0; i < a.left.size(); ++i) {
    largest = std::max({largest, std::fabs(a.left[i] - b.left[i]), std::fabs(a.right[i] - b.right[i])});
  }
  return largest;
}

double Peak(const StereoSignal& signal) {
  double peak = 0.0;
  for (std::size_t i = 0; i < signal.left.size(); ++i) {
    peak = std::max({peak, std::fabs(signal.left[i]), std::fabs(signal.right[i])});
  }
  return peak;
}

// One engine that skips and one that computes everything, fed the same pieces in turn.
class SkipAgainstFull {
 public:
  SkipAgainstFull() {
    full_.SetSilenceSkip(false);
    skipping_.Prepare(kRate);
    full_.Prepare(kRate);
  }

  // Renders the piece through both and returns the largest difference between them.
  double Render(StereoSignal piece, const EngineSettings& settings, StereoSignal* skipped = nullptr) {
    StereoSignal computed = piece;
    RenderStereo(skipping_, piece, settings, kBlock);
    RenderStereo(full_, computed, settings, kBlock);
    if (skipped != nullptr) {
      *skipped = piece;
    }
    return LargestDifference(piece, computed);
  }

  bool Idle() const { return skipping_.BayIdle(0); }

 private:
  RackEngine skipping_;
  RackEngine full_;
};

struct SkipCase {
  EffectType type;
  std::int32_t character;
  // Long tails (a reverb, echoes, a DC blocker's) take longer to die before the settle time starts.
  double silenceSeconds;
};

class SilenceSkip : public testing::TestWithParam<SkipCase> {};

TEST_P(SilenceSkip, MatchesTheFullComputationThroughTheSilenceAndAfter) {
  const SkipCase& skip = GetParam();
  const EngineSettings settings = SingleBaySettings(skip.type, 0.7, skip.character);
  SkipAgainstFull engines;
  EXPECT_LE(engines.Render(Phrase(11), settings), kLargestDeviation);
  EXPECT_LE(engines.Render(Silence(skip.silenceSeconds), settings), kLargestDeviation);
  // The shimmer's grain clock keeps it running; every other block goes idle once its tail has died.
  EXPECT_EQ(engines.Idle(), skip.type != EffectType::Shimmer);

  StereoSignal resumed;
  EXPECT_LE(engines.Render(Phrase(23), settings, &resumed), kLargestDeviation);
  EXPECT_FALSE(engines.Idle());
  EXPECT_GT(Peak(resumed), 0.05) << "the sound did not come back";
  EXPECT_LE(engines.Render(Silence(0.5), settings), kLargestDeviation);
}

std::vector<SkipCase> SkipCases() {
  std::vector<SkipCase> cases;
  for (std::int32_t type = 0; type < static_cast<std::int32_t>(EffectType::Empty); ++type) {
    cases.push_back({static_cast<EffectType>(type), 0, kSilenceSeconds});
  }
  for (SkipCase& skip : cases) {
    switch (skip.type) {
      case EffectType::Saturator:
      case EffectType::Width:
      case EffectType::Glue:
        skip.silenceSeconds = 15.0;
        break;
      case EffectType::Plate:
        skip.silenceSeconds = 22.0;
        break;
      case EffectType::Delay:
        // Eighth notes: echoes of whole notes take a minute to fall below the quiet level.
        skip.character = 8;
        skip.silenceSeconds = 20.0;
        break;
      default:
        break;
    }
  }
  return cases;
}

std::string TypeName(const testing::TestParamInfo<SkipCase>& info) {
  std::string name = EffectTypeName(static_cast<std::int32_t>(info.param.type));
  name.erase(
      std::remove_if(name.begin(), name.end(), [](char c) { return !std::isalnum(static_cast<unsigned char>(c)); }),
      name.end());
  return name;
}

INSTANTIATE_TEST_SUITE_P(EveryType, SilenceSkip, testing::ValuesIn(SkipCases()), TypeName);

TEST(SilenceSkipWake, SettingsChangedDuringTheSilenceWakeTheBayAtOnce) {
  struct Change {
    EffectType type;
    std::int32_t character;
    double before;
    double after;
    double silenceSeconds;
  };
  for (const Change& change :
       {Change{EffectType::Plate, 0, 0.2, 1.0, 18.0}, Change{EffectType::Delay, 8, 0.6, 0.1, 18.0},
        Change{EffectType::Saturator, 0, 0.8, 0.3, 15.0}, Change{EffectType::Tape, 0, 0.3, 0.9, kSilenceSeconds}}) {
    const char* name = EffectTypeName(static_cast<std::int32_t>(change.type));
    SkipAgainstFull engines;
    const EngineSettings before = SingleBaySettings(change.type, change.before, change.character);
    const EngineSettings after = SingleBaySettings(change.type, change.after, change.character);
    EXPECT_LE(engines.Render(Phrase(5), before), kLargestDeviation) << name;
    EXPECT_LE(engines.Render(Silence(change.silenceSeconds), before), kLargestDeviation) << name;
    EXPECT_TRUE(engines.Idle()) << name;
    EXPECT_LE(engines.Render(Silence(0.5), after), kLargestDeviation) << name;
    EXPECT_FALSE(engines.Idle()) << name;
    EXPECT_LE(engines.Render(Phrase(9), after), kLargestDeviation) << name;
  }
}

TEST(SilenceSkipWake, AnEchoStillInItsLineKeepsTheBayAwake) {
  // A click, then silence shorter than the settle time: the delay's echoes must all come out.
  SkipAgainstFull engines;
  EngineSettings settings = SingleBaySettings(EffectType::Delay, 0.9, 0);
  settings.tempoBpm = 40.0;
  StereoSignal click = Silence(4.0);
  click.left[10] = 0.8;
  click.right[10] = 0.8;
  StereoSignal skipped;
  EXPECT_LE(engines.Render(click, settings, &skipped), kLargestDeviation);
  EXPECT_FALSE(engines.Idle());
  double echo = 0.0;
  for (std::size_t i = 100; i < skipped.left.size(); ++i) {
    echo = std::max(echo, std::fabs(skipped.left[i]));
  }
  EXPECT_GT(echo, 0.01) << "the click's echo was lost";
}

}  // namespace
