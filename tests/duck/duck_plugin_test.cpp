// TarnwellDuck through its built module, driven by the host with key and main signals made
// here: what it exports, depth, look-ahead delay, "On" and bypass, the side-chain inactive,
// a copy of the main input, mono or silent, state, and no allocation in any process call.
#include <gtest/gtest.h>

#include <algorithm>

#include <cmath>
#include <cstring>
#include <filesystem>
#include <numbers>
#include <vector>

#include "base/source/fobject.h"
#include "host/module.h"
#include "host/plugin_instance.h"
#include "host/render.h"
#include "host/module_expectations.h"
#include "host/text.h"
#include "pluginterfaces/vst/vstspeaker.h"

namespace {

using namespace Steinberg;
using namespace Steinberg::Vst;
using tarnwell::host::Module;
using tarnwell::host::PluginInstance;

constexpr ParamID kAmount = 0, kCharacter = 1, kOn = 2, kBypass = 0x10000;
constexpr double kSing = 0.0, kSpeak = 1.0;

using tarnwell::test::Narrow;

std::vector<double> Sine(size_t n, double hz, double amplitude, double rate) {
  std::vector<double> v(n);
  for (size_t i = 0; i < n; ++i)
    v[i] = amplitude * std::sin(2.0 * std::numbers::pi * hz * static_cast<double>(i) / rate);
  return v;
}

// Four input channels (main left, right, key left, right; an empty one gets no buffer of
// ours) and the two outputs, run in blocks of 64-bit samples.
struct Signals {
  std::vector<std::vector<double>> in;
  std::vector<std::vector<double>> out;
};

class DuckPlugin : public ::testing::Test {
 protected:
  void SetUp() override {
    std::string error;
    ASSERT_TRUE(module_.Load(DUCK_BUNDLE, &error)) << error;
  }

  void Open(PluginInstance& plugin, double rate = 48000.0, bool sideChainRouted = true) {
    std::string error;
    ASSERT_TRUE(plugin.Create(module_, "Test Host", &error)) << error;
    ASSERT_TRUE(plugin.Start(rate, 512, true));
    if (!sideChainRouted) {
      plugin.SetProcessing(false);
      plugin.SetActive(false);
      plugin.ActivateBus(kInput, 1, false);
      ASSERT_EQ(plugin.SetActive(true), kResultOk);
      plugin.SetProcessing(true);
    }
  }

  static void Set(PluginInstance& plugin, ParamID id, double normalised) {
    plugin.InputChanges().Add(id, 0, normalised);
  }

  static std::vector<std::vector<double>> RunBlocks(PluginInstance& plugin, std::vector<std::vector<double>> in,
                                                    int block = 512) {
    const size_t n = in[0].size();
    std::vector<std::vector<double>> out(2, std::vector<double>(n));
    for (size_t start = 0; start < n; start += static_cast<size_t>(block)) {
      const int frames = static_cast<int>(std::min(n - start, static_cast<size_t>(block)));
      std::vector<double*> inPtrs, outPtrs;
      for (auto& channel : in) inPtrs.push_back(channel.empty() ? nullptr : channel.data() + start);
      for (auto& channel : out) outPtrs.push_back(channel.data() + start);
      EXPECT_EQ(plugin.Process64(inPtrs, outPtrs, frames), kResultOk);
    }
    return out;
  }

  Module module_;
};

TEST_F(DuckPlugin, ExportsItsClassParametersBusesNoLatencyAndAFixedEditor) {
  tarnwell::test::ExpectOneClass(module_, "Tarnwell Duck", 0x5464636B /* Tdck */);
  PluginInstance plugin;
  Open(plugin);
  IEditController* controller = plugin.Controller();
  ASSERT_EQ(controller->getParameterCount(), 4);
  tarnwell::test::ExpectParameters(controller, {{kAmount, "Amount", "%", 0, 0.5, 0.73, "73"},
                                                {kCharacter, "Character", "", 1, 0.0, 1.0, "Speak"},
                                                {kOn, "On", "", 1, 1.0, 0.0, "off"}});
  String128 sing{};
  controller->getParamStringByValue(kCharacter, 0.0, sing);
  EXPECT_EQ(Narrow(sing), "Sing");

  IComponent* component = plugin.Component();
  ASSERT_EQ(component->getBusCount(kAudio, kInput), 2);
  ASSERT_EQ(component->getBusCount(kAudio, kOutput), 1);
  const struct {
    BusDirection direction;
    int32 index;
    const char* name;
    BusType type;
  } buses[] = {{kInput, 0, "Main", kMain}, {kInput, 1, "Aux", kAux}, {kOutput, 0, "Output", kMain}};
  for (const auto& bus : buses) {
    BusInfo b{};
    ASSERT_EQ(component->getBusInfo(kAudio, bus.direction, bus.index, b), kResultOk);
    EXPECT_EQ(Narrow(b.name), bus.name);
    EXPECT_EQ(b.busType, bus.type);
    EXPECT_EQ(b.channelCount, 2);
  }
  SpeakerArrangement stereo[] = {SpeakerArr::kStereo, SpeakerArr::kStereo};
  SpeakerArrangement mono[] = {SpeakerArr::kMono, SpeakerArr::kMono};
  EXPECT_EQ(plugin.Processor()->setBusArrangements(stereo, 2, stereo, 1), kResultOk);
  EXPECT_EQ(plugin.Processor()->setBusArrangements(stereo, 1, stereo, 1), kResultFalse);  // the key bus stays
  EXPECT_EQ(plugin.Processor()->setBusArrangements(stereo, 2, mono, 1), kResultFalse);
  EXPECT_EQ(plugin.Processor()->getLatencySamples(), 0u);
  EXPECT_EQ(plugin.Processor()->getTailSamples(), 0u);

  tarnwell::test::ExpectFixedEditor(controller, 227, 303);
  EXPECT_TRUE(
      std::filesystem::is_regular_file(std::filesystem::path(DUCK_BUNDLE) / "Contents/Resources/web/index.html"));
}

TEST_F(DuckPlugin, ALoudKeyDucksByTheAmountScaledByTheCharacter) {
  const struct {
    double amount, character, expectedDb;
  } cases[] = {{50, kSpeak, -12.0}, {50, kSing, -7.44}, {100, kSing, -14.88}, {100, kSpeak, -24.0}, {0, kSpeak, 0.0}};
  for (const auto& c : cases) {
    SCOPED_TRACE(::testing::Message() << "Amount " << c.amount << ", character " << c.character);
    PluginInstance plugin;
    Open(plugin);
    Set(plugin, kAmount, c.amount / 100.0);
    Set(plugin, kCharacter, c.character);
    const size_t n = 48000;
    const std::vector<double> key = Sine(n, 1000.0, 0.5, 48000);
    auto out = RunBlocks(plugin, {std::vector<double>(n, 0.5), std::vector<double>(n, 0.5), key, key});
    EXPECT_NEAR(20.0 * std::log10(out[0].back() / 0.5), c.expectedDb, 1e-6);
    EXPECT_NEAR(20.0 * std::log10(out[1].back() / 0.5), c.expectedDb, 1e-6);
    EXPECT_EQ(plugin.AllocationsDuringProcess(), 0u);
  }
}

// The main input is a constant, so that each output sample over it is the gain of that
// sample. The key sounds for a second, then stops: the gain falls with the attack once
// the key passes the threshold, stays down for the hold after the key's envelope has fallen
// back under it, then rises with the release.
TEST_F(DuckPlugin, AttackHoldAndReleaseTimesOfEachCharacter) {
  const struct {
    double character;
    size_t attack, hold, release, detectorRelease;
    double duck;
  } cases[] = {{kSing, 1920, 5760, 16800, 5760, std::pow(10.0, -7.44 / 20.0)},
               {kSpeak, 192, 12000, 9600, 2400, std::pow(10.0, -12.0 / 20.0)}};
  for (const auto& c : cases) {
    SCOPED_TRACE(::testing::Message() << "character " << c.character);
    PluginInstance plugin;
    Open(plugin);
    Set(plugin, kCharacter, c.character);
    const size_t keyOn = 1000, keyOff = 49000, n = 100000;
    std::vector<double> key(n, 0.0);
    for (size_t i = keyOn; i < keyOff; ++i)
      key[i] = 0.5 * std::sin(2.0 * std::numbers::pi * 1000.0 * static_cast<double>(i) / 48000);
    const auto out = RunBlocks(plugin, {std::vector<double>(n, 0.5), std::vector<double>(n, 0.5), key, key}, 480);
    std::vector<double> gain(n);
    for (size_t i = 0; i < n; ++i) gain[i] = out[0][i] / 0.5;

    size_t falls = 300;  // past the look-ahead's silence at the start
    while (falls < n && gain[falls] == 1.0) ++falls;
    ASSERT_GT(falls, keyOn);
    ASSERT_LT(falls, keyOn + 480);  // the key passes -30 dB within its first cycles
    EXPECT_NEAR((gain[falls + c.attack - 1] - c.duck) / (1.0 - c.duck), std::exp(-1.0), 0.01);
    EXPECT_NEAR(gain[keyOff - 1], c.duck, 1e-9);

    size_t rises = keyOff;
    while (rises < n && std::fabs(gain[rises] - c.duck) < 1e-9) ++rises;
    // The follower sits between 0.2 and 0.5 on this key, so it takes 2 to 2.8 detector
    // release times (ln(level / 0.0316)) to fall under the threshold; the hold runs from there.
    EXPECT_GE(rises - keyOff, c.hold + 2 * c.detectorRelease);
    EXPECT_LE(rises - keyOff, c.hold + 3 * c.detectorRelease);
    EXPECT_NEAR((1.0 - gain[rises + c.release - 1]) / (1.0 - c.duck), std::exp(-1.0), 0.01);
  }
}

// A quiet impulse (below the threshold) keys nothing, so it comes out whole, late by the
// look-ahead, while the host is told of no latency. At 8 kHz and below the ducker keeps
// its 48 kHz timing.
TEST_F(DuckPlugin, OutputIsLateByTheLookAheadAndTheReportedLatencyStaysZero) {
  const struct {
    double rate, character;
    size_t delay;
  } cases[] = {{48000, kSing, 241},  {48000, kSpeak, 145}, {44100, kSing, 221},
               {96000, kSpeak, 289}, {8000, kSing, 241},   {8000, kSpeak, 145}};
  for (const auto& c : cases) {
    SCOPED_TRACE(::testing::Message() << c.rate << " Hz, character " << c.character);
    PluginInstance plugin;
    Open(plugin, c.rate, false);
    Set(plugin, kCharacter, c.character);
    std::vector<double> impulse(2000, 0.0);
    impulse[3] = 0.01;
    auto out = RunBlocks(plugin, {impulse, impulse, {}, {}}, 333);
    for (size_t i = 0; i < impulse.size(); ++i) ASSERT_EQ(out[0][i], i == 3 + c.delay ? 0.01 : 0.0) << i;
    EXPECT_EQ(out[1], out[0]);
    EXPECT_EQ(plugin.Processor()->getLatencySamples(), 0u);
  }
}

TEST_F(DuckPlugin, OnOffAndBypassPassTheInputUnchangedAndUndelayed) {
  const size_t n = 4096;
  const std::vector<double> left = Sine(n, 440.0, 0.5, 48000), right = Sine(n, 330.0, 0.4, 48000);
  const std::vector<double> key = Sine(n, 1000.0, 0.9, 48000);
  for (ParamID control : {kOn, kBypass}) {
    for (bool wide : {true, false}) {
      SCOPED_TRACE(::testing::Message() << (control == kOn ? "On off" : "bypassed")
                                        << (wide ? ", 64-bit" : ", 32-bit"));
      PluginInstance plugin;
      std::string error;
      ASSERT_TRUE(plugin.Create(module_, "Test Host", &error)) << error;
      ASSERT_TRUE(plugin.Start(48000, 512, wide));
      Set(plugin, control, control == kOn ? 0.0 : 1.0);
      if (wide) {
        auto out = RunBlocks(plugin, {left, right, key, key});
        EXPECT_EQ(out[0], left);
        EXPECT_EQ(out[1], right);
      } else {
        std::vector<float> l(left.begin(), left.end()), r(right.begin(), right.end()), k(key.begin(), key.end());
        std::vector<float> outL(n), outR(n);
        ASSERT_EQ(
            plugin.Process({l.data(), r.data(), k.data(), k.data()}, {outL.data(), outR.data()}, static_cast<int>(n)),
            kResultOk);
        EXPECT_EQ(outL, l);
        EXPECT_EQ(outR, r);
      }
      EXPECT_EQ(plugin.AllocationsDuringProcess(), 0u);
    }
  }
}

// While "On" is off the ducker stands still: turned on again it goes on from the delay
// contents it had.
TEST_F(DuckPlugin, TurnedOnAgainTheDuckerResumesFromWhereItStopped) {
  PluginInstance plugin;
  Open(plugin, 48000, false);
  Set(plugin, kCharacter, kSpeak);
  const std::vector<double> first = Sine(1000, 300.0, 0.01, 48000);  // quiet: gain stays 1
  RunBlocks(plugin, {first, first, {}, {}});
  Set(plugin, kOn, 0.0);
  const std::vector<double> whileOff(700, 0.02);
  RunBlocks(plugin, {whileOff, whileOff, {}, {}});
  Set(plugin, kOn, 1.0);
  const std::vector<double> again(400, 0.0);
  auto out = RunBlocks(plugin, {again, again, {}, {}});
  for (size_t i = 0; i < 145; ++i) ASSERT_EQ(out[0][i], first[first.size() - 145 + i]) << i;
  for (size_t i = 145; i < out[0].size(); ++i) ASSERT_EQ(out[0][i], 0.0) << i;
}

// The main input is a loud constant, so that keyed by itself it ducks; the last output
// sample against it is the gain each channel ended on.
TEST_F(DuckPlugin, SideChainInactiveCopiedMonoSilentOrSeparateKeysTheRightChannels) {
  const size_t n = 24000;
  const std::vector<double> main(n, 0.5), loud = Sine(n, 1000.0, 0.5, 48000), silent(n, 0.0);
  const double ducked = std::pow(10.0, -12.0 / 20.0);
  const struct {
    const char* routing;
    bool routed;
    int32 keyChannels;
    std::vector<double> keyLeft, keyRight;
    double leftGain, rightGain;
  } cases[] = {
      {"inactive, handed silence", false, 2, {}, {}, ducked, ducked},
      {"a copy of the main input", true, 2, main, main, ducked, ducked},
      {"mono", true, 1, loud, {}, ducked, ducked},
      {"silent", true, 2, silent, silent, 1.0, 1.0},
      {"left key only", true, 2, loud, silent, ducked, 1.0},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.routing);
    PluginInstance plugin;
    Open(plugin, 48000, c.routed);
    plugin.PassBusChannels(kInput, 1, c.keyChannels);
    Set(plugin, kCharacter, kSpeak);
    auto out = RunBlocks(plugin, {main, main, c.keyLeft, c.keyRight});
    EXPECT_NEAR(out[0].back() / 0.5, c.leftGain, 1e-9);
    EXPECT_NEAR(out[1].back() / 0.5, c.rightGain, 1e-9);
    EXPECT_EQ(plugin.AllocationsDuringProcess(), 0u);
  }
}

// A host that connects one output channel gets it ducked and delayed once, not twice.
TEST_F(DuckPlugin, OneConnectedOutputIsDuckedAndDelayedOnce) {
  PluginInstance plugin;
  Open(plugin, 48000, false);
  plugin.PassBusChannels(kOutput, 0, 1);
  Set(plugin, kCharacter, kSpeak);
  std::vector<double> quiet(2000, 0.0);
  quiet[0] = 0.01;
  std::vector<double> out(quiet.size());
  ASSERT_EQ(plugin.Process64({quiet.data(), quiet.data()}, {out.data()}, static_cast<int>(quiet.size())), kResultOk);
  for (size_t i = 0; i < out.size(); ++i) ASSERT_EQ(out[i], i == 145 ? 0.01 : 0.0) << i;

  std::vector<double> loud(24000, 0.5);
  std::vector<double> ducked(loud.size());
  ASSERT_EQ(plugin.Process64({loud.data(), loud.data()}, {ducked.data()}, static_cast<int>(loud.size())), kResultOk);
  EXPECT_NEAR(20.0 * std::log10(ducked.back() / 0.5), -12.0, 1e-6);
  EXPECT_EQ(plugin.AllocationsDuringProcess(), 0u);
}

TEST_F(DuckPlugin, CharacterAmountAndOnAutomatedEveryBlockNeverAllocate) {
  PluginInstance plugin;
  Open(plugin);
  const size_t n = 512;
  const std::vector<double> main = Sine(n, 440.0, 0.5, 48000), key = Sine(n, 1000.0, 0.7, 48000);
  for (int block = 0; block < 120; ++block) {
    Set(plugin, kCharacter, block % 2);
    Set(plugin, kAmount, (block % 7) / 6.0);
    Set(plugin, kOn, block % 5 == 4 ? 0.0 : 1.0);
    auto out = RunBlocks(plugin, {main, main, key, key});
    ASSERT_TRUE(std::isfinite(out[0].back()));
  }
  EXPECT_EQ(plugin.AllocationsDuringProcess(), 0u);
}

TEST_F(DuckPlugin, StateHoldsTheThreeParametersAndTheBypassFlag) {
  PluginInstance plugin;
  Open(plugin);
  Set(plugin, kAmount, 0.73);
  Set(plugin, kCharacter, kSpeak);
  Set(plugin, kOn, 0.0);
  Set(plugin, kBypass, 1.0);
  RunBlocks(plugin, {std::vector<double>(64, 0.1), std::vector<double>(64, 0.1), {}, {}});
  std::vector<uint8_t> chunk;
  ASSERT_TRUE(plugin.SaveState(&chunk));
  ASSERT_EQ(chunk.size(), 3 * 8 + 4u);
  double amount = 0;
  std::memcpy(&amount, chunk.data(), 8);
  EXPECT_DOUBLE_EQ(amount, 73.0);

  PluginInstance restored;
  Open(restored);
  ASSERT_TRUE(restored.LoadState(chunk));
  EXPECT_DOUBLE_EQ(restored.Controller()->getParamNormalized(kAmount), 0.73);
  EXPECT_DOUBLE_EQ(restored.Controller()->getParamNormalized(kCharacter), 1.0);
  EXPECT_DOUBLE_EQ(restored.Controller()->getParamNormalized(kOn), 0.0);
  EXPECT_DOUBLE_EQ(restored.Controller()->getParamNormalized(kBypass), 1.0);
}

// A four-channel file renders its last two channels into the side-chain, and the file that
// comes out has the plug-in's two outputs.
TEST_F(DuckPlugin, RenderFeedsTheChannelsPastTheMainBusToTheSideChain) {
  tarnwell::host::AudioFile input, output;
  input.sampleRate = 48000;
  const std::vector<double> key = Sine(24000, 1000.0, 0.5, 48000);
  input.channels = {std::vector<float>(24000, 0.01f), std::vector<float>(24000, 0.01f),
                    std::vector<float>(key.begin(), key.end()), std::vector<float>(key.begin(), key.end())};
  tarnwell::host::RenderOptions options;
  options.parameters = {{"Character", "Speak"}};
  std::string error;
  ASSERT_TRUE(tarnwell::host::Render(module_, input, options, &output, &error)) << error;
  ASSERT_EQ(output.channels.size(), 2u);
  EXPECT_NEAR(20.0 * std::log10(output.channels[0].back() / 0.01), -12.0, 1e-3);
  input.channels.resize(2);  // the quiet main signal alone keys nothing
  ASSERT_TRUE(tarnwell::host::Render(module_, input, options, &output, &error)) << error;
  EXPECT_EQ(output.channels[0].back(), 0.01f);

  // A file without side-chain channels leaves the bus off, as a DAW with nothing routed to it
  // does: a loud main signal then keys itself.
  input.channels = {std::vector<float>(key.begin(), key.end()), std::vector<float>(key.begin(), key.end())};
  ASSERT_TRUE(tarnwell::host::Render(module_, input, options, &output, &error)) << error;
  const float lastPeak = *std::max_element(output.channels[0].end() - 480, output.channels[0].end());
  EXPECT_NEAR(20.0 * std::log10(lastPeak / 0.5), -12.0, 0.1);
}

}  // namespace
