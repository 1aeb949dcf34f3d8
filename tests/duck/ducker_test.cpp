// The ducker on its own: timing from character and rate, the look-ahead delay, depth,
// attack, hold and release, the key band filter, bad key samples and character changes.
#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <numbers>
#include <vector>

#include "duck/ducker.h"
#include "framework/denormal_mode.h"

namespace {

constexpr int32_t kSing = 0, kSpeak = 1;
constexpr double kThreshold = 0.031622776601683791;  // -30 dB

Ducker Configured(int32_t character, double rate, double depthDb = 12.0) {
  Ducker ducker;
  ducker.character = character;
  ducker.sampleRate = rate;
  ducker.depthDb = depthDb;
  ducker.thresholdDb = -30.0;
  ducker.Configure();
  return ducker;
}

std::vector<double> Sine(size_t n, double hz, double amplitude, double rate) {
  std::vector<double> v(n);
  for (size_t i = 0; i < n; ++i)
    v[i] = amplitude * std::sin(2.0 * std::numbers::pi * hz * static_cast<double>(i) / rate);
  return v;
}

// Runs the ducker over left and right in blocks of `block`, keyed by key (both channels)
// or by the signal itself when key is empty.
void RunDucker(Ducker& ducker, std::vector<double>& left, std::vector<double>& right, const std::vector<double>& key,
               size_t block = 256) {
  for (size_t start = 0; start < left.size(); start += block) {
    const auto n = static_cast<int32_t>(std::min(block, left.size() - start));
    const double* k = key.empty() ? nullptr : key.data() + start;
    ducker.Process(left.data() + start, right.data() + start, n, k, k);
  }
}

TEST(Ducker, TimingFollowsCharacterAndRateAndStaysInsideTheDelayLines) {
  const struct {
    int32_t character;
    double rate;
    int32_t delay, ring, hold;
    bool keyFilter;
  } cases[] = {
      {kSing, 48000, 241, 243, 5760, true},
      {kSpeak, 48000, 145, 147, 12000, false},
      {kSing, 44100, 221, 223, 5292, true},
      {kSpeak, 44100, 133, 135, 11025, false},
      {7, 48000, 241, 243, 5760, true},  // anything but Speak is Sing
      {kSing, 384000, 1921, 1923, 46080, true},
      {kSing, 768000, 3841, 3843, 92160, true},
      {kSpeak, 768000, 2305, 2307, 192000, false},
      {kSing, 1536000, 3841, 3843, 184320, true},  // look-ahead cut to what the lines hold
      {kSpeak, 1e12, 3841, 3843, std::numeric_limits<int32_t>::max(), false},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(::testing::Message() << "character " << c.character << " at " << c.rate << " Hz");
    Ducker ducker = Configured(c.character, c.rate);
    EXPECT_EQ(ducker.DelaySamples(), c.delay);
    EXPECT_EQ(ducker.RingLength(), c.ring);
    EXPECT_EQ(ducker.HoldSamples(), c.hold);
    EXPECT_EQ(ducker.KeyFilterOn(), c.keyFilter);
  }
}

TEST(Ducker, OutputIsTheInputDelayedByTheLookAheadWhateverTheGain) {
  for (double rate : {48000.0, 384000.0, 768000.0, 1536000.0}) {
    for (int32_t character : {kSing, kSpeak}) {
      for (double keyLevel : {0.0, 0.9}) {
        SCOPED_TRACE(::testing::Message() << character << " at " << rate << " Hz, key " << keyLevel);
        Ducker ducker = Configured(character, rate);
        const size_t n = 5000;
        std::vector<double> left(n, 0.0), right(n, 0.0), key(n, keyLevel);
        for (size_t i = 0; i < n; i += 997) left[i] = right[i] = 1.0;  // impulses across ring wraps
        const std::vector<double> input = left;
        RunDucker(ducker, left, right, key, 37);
        const auto delay = static_cast<size_t>(ducker.DelaySamples());
        for (size_t i = 0; i < n; ++i) {
          const bool impulse = i >= delay && input[i - delay] != 0.0;
          ASSERT_EQ(left[i] != 0.0, impulse) << "sample " << i;
          ASSERT_EQ(left[i], right[i]) << "sample " << i;
          if (keyLevel == 0.0) {
            ASSERT_EQ(left[i], impulse ? 1.0 : 0.0) << "sample " << i;
          }
        }
      }
    }
  }
}

TEST(Ducker, LoudKeySettlesOnTheDepthScaledByTheCharacter) {
  const struct {
    double depthDb;
    int32_t character;
    double expectedDb;
  } cases[] = {
      {12.0, kSpeak, -12.0}, {12.0, kSing, -7.44}, {24.0, kSing, -14.88}, {24.0, kSpeak, -24.0}, {0.0, kSpeak, 0.0}};
  for (const auto& c : cases) {
    SCOPED_TRACE(::testing::Message() << c.depthDb << " dB, character " << c.character);
    Ducker ducker = Configured(c.character, 48000, c.depthDb);
    std::vector<double> left(48000, 0.5), right(48000, 0.5);
    RunDucker(ducker, left, right, Sine(48000, 1000.0, 0.5, 48000));
    EXPECT_NEAR(20.0 * std::log10(ducker.Gain(0)), c.expectedDb, 1e-6);
    EXPECT_NEAR(20.0 * std::log10(left.back() / 0.5), c.expectedDb, 1e-6);
  }
}

// Sample by sample: the gain falls with the attack once the envelope passes the threshold,
// stays down for the hold after the envelope falls back, then rises with the release.
TEST(Ducker, AttackHoldAndReleaseTimesOfEachCharacter) {
  const struct {
    int32_t character;
    double attackMs, releaseMs;
    int32_t hold;
  } cases[] = {{kSing, 40.0, 350.0, 5760}, {kSpeak, 4.0, 200.0, 12000}};
  for (const auto& c : cases) {
    SCOPED_TRACE(::testing::Message() << "character " << c.character);
    Ducker ducker = Configured(c.character, 48000, 24.0);
    const double duck = std::pow(10.0, -24.0 * (c.character == kSing ? 0.62 : 1.0) / 20.0);
    const auto step = [&](double key) {
      double l = 0.5, r = 0.5;
      ducker.Process(&l, &r, 1, &key, &key);
    };
    int64_t n = 0;
    while (ducker.Envelope(0) <= kThreshold)
      step(0.5 * std::sin(2.0 * std::numbers::pi * 1000.0 * static_cast<double>(n++) / 48000));
    const auto attack = static_cast<int64_t>(c.attackMs * 48.0);
    for (int64_t i = 1; i < attack; ++i)
      step(0.5 * std::sin(2.0 * std::numbers::pi * 1000.0 * static_cast<double>(n++) / 48000));
    // One attack time after the crossing, e^-1 of the way from unity is left.
    EXPECT_NEAR((ducker.Gain(0) - duck) / (1.0 - duck), std::exp(-1.0), 0.01);
    for (int i = 0; i < 48000; ++i)
      step(0.5 * std::sin(2.0 * std::numbers::pi * 1000.0 * static_cast<double>(n++) / 48000));
    ASSERT_NEAR(ducker.Gain(0), duck, 1e-9);

    int64_t quiet = 0;
    while (ducker.Envelope(0) > kThreshold) {
      step(0.0);
      ++quiet;
      ASSERT_LT(quiet, 480000);
    }
    // The first quiet sample under the threshold counted the hold down once.
    for (int32_t i = 1; i < c.hold - 1; ++i) {
      step(0.0);
      ASSERT_NEAR(ducker.Gain(0), duck, 1e-9) << "held sample " << i;
    }
    const double held = ducker.Gain(0);
    step(0.0);
    EXPECT_GT(ducker.Gain(0), held);  // the hold is over
    const auto release = static_cast<int32_t>(c.releaseMs * 48.0);
    for (int32_t i = 1; i < release; ++i) step(0.0);
    EXPECT_NEAR((1.0 - ducker.Gain(0)) / (1.0 - duck), std::exp(-1.0), 0.01);
  }
}

TEST(Ducker, SingListensToTheVoiceBandAndSpeakToTheRawKey) {
  const struct {
    double keyHz;
    int32_t character;
    bool ducks;
  } cases[] = {{40.0, kSing, false}, {40.0, kSpeak, true}, {1000.0, kSing, true}, {1000.0, kSpeak, true}};
  for (const auto& c : cases) {
    SCOPED_TRACE(::testing::Message() << c.keyHz << " Hz key, character " << c.character);
    Ducker ducker = Configured(c.character, 48000, 24.0);
    std::vector<double> left(24000, 0.5), right(24000, 0.5);
    RunDucker(ducker, left, right, Sine(24000, c.keyHz, 0.3, 48000));
    if (c.ducks)
      EXPECT_LT(ducker.Gain(0), 0.5);
    else
      EXPECT_EQ(ducker.Gain(0), 1.0);
  }
}

TEST(Ducker, ABadKeySampleCountsAsSilenceAndDuckingGoesOn) {
  for (double bad :
       {std::nan(""), std::numeric_limits<double>::infinity(), -std::numeric_limits<double>::infinity(), 1e308}) {
    for (int32_t character : {kSing, kSpeak}) {
      SCOPED_TRACE(::testing::Message() << bad << ", character " << character);
      Ducker ducker = Configured(character, 48000, 24.0);
      std::vector<double> key = Sine(96000, 1000.0, 0.5, 48000);
      for (size_t i = 1000; i < 1010; ++i) key[i] = bad;
      std::vector<double> left(96000, 0.5), right(96000, 0.5);
      RunDucker(ducker, left, right, key);
      EXPECT_TRUE(std::isfinite(ducker.Envelope(0)));
      EXPECT_NEAR(ducker.Gain(0), std::pow(10.0, -24.0 * (character == kSing ? 0.62 : 1.0) / 20.0), 1e-6);
      EXPECT_TRUE(std::isfinite(left.back()));
    }
  }
}

TEST(Ducker, ACharacterChangeRestartsTheDelayLinesFromSilenceAndTheSameOneDoesNot) {
  Ducker ducker = Configured(kSing, 48000);
  const std::vector<double> silentKey(1000, 0.0);
  std::vector<double> left(1000, 0.25), right(1000, 0.25);
  RunDucker(ducker, left, right, silentKey);
  ducker.Configure();  // once per block, as the plug-in does: nothing restarts
  std::vector<double> same(300, 0.25), sameRight(300, 0.25);
  RunDucker(ducker, same, sameRight, std::vector<double>(300, 0.0));
  EXPECT_EQ(same.front(), 0.25);

  ducker.character = kSpeak;
  ducker.Configure();
  std::vector<double> after(300, 0.25), afterRight(300, 0.25);
  RunDucker(ducker, after, afterRight, std::vector<double>(300, 0.0));
  for (size_t i = 0; i < after.size(); ++i) ASSERT_EQ(after[i], i < 145 ? 0.0 : 0.25) << i;
}

TEST(Ducker, BeforeTheFirstConfigureTheAudioIsLeftAlone) {
  Ducker ducker;
  std::vector<double> left(64, 0.5), right(64, -0.5);
  ducker.Process(left.data(), right.data(), 64, nullptr, nullptr);
  EXPECT_EQ(left, std::vector<double>(64, 0.5));
  EXPECT_EQ(right, std::vector<double>(64, -0.5));
}

// Without flushing, a silent key leaves the envelope stalled on a subnormal value for good;
// the process call's guard lets it reach 0.
TEST(Ducker, ASilentKeyLetsTheEnvelopeReachZeroUnderTheProcessCallGuard) {
  plugkit::ScopedDenormalsOff flush;
  Ducker ducker = Configured(kSpeak, 48000);
  std::vector<double> left(4800, 0.5), right(4800, 0.5);
  RunDucker(ducker, left, right, {});
  ASSERT_GT(ducker.Envelope(0), 0.1);
  std::vector<double> silence(48000 * 40, 0.0), silenceRight(48000 * 40, 0.0);
  RunDucker(ducker, silence, silenceRight, {}, 4096);
  EXPECT_EQ(ducker.Envelope(0), 0.0);
  EXPECT_EQ(ducker.Envelope(1), 0.0);
}

}  // namespace
