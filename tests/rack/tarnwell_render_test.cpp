// Tarnwell end to end through its built module: a vocal-like take through each factory
// preset, as a host renders it.
#include <gtest/gtest.h>

#include <cmath>
#include <cstdio>
#include <string>
#include <thread>
#include <vector>

#include "host/memory_stream.h"
#include "host/module.h"
#include "host/module_expectations.h"
#include "host/plugin_instance.h"
#include "host/render.h"
#include "rack/factory_presets.h"
#include "rack/tarnwell.h"
#include "signals/vocal_signal.h"

namespace {

using namespace Steinberg;
using namespace Steinberg::Vst;
using tarnwell::host::Module;
using tarnwell::host::PluginInstance;
using tarnwell::signals::MakeVocalSignal;
using tarnwell::signals::StereoBuffer;

constexpr double kRate = 48000.0;
constexpr int kBlock = 256;

struct Render {
  std::vector<float> left, right;
  uint32 latency = 0;
  uint64_t allocations = 0;
};

// The factory row's state chunk, as an instance that selected it saves it.
std::vector<uint8_t> FactoryChunk(int32_t row) {
  auto* plugin = new Tarnwell(tarnwell::MakeSharedTempoBlockSource("TarnwellTest_render_none"));
  plugin->SelectFactoryPreset(row);
  tarnwell::host::MemoryStream stream;
  EXPECT_EQ(plugin->getState(&stream), kResultOk);
  plugin->release();
  return stream.Bytes();
}

class TarnwellRender : public ::testing::TestWithParam<int32_t> {
 protected:
  static void SetUpTestSuite() { take_ = MakeVocalSignal(kRate, 2.0); }

  void SetUp() override {
    std::string error;
    ASSERT_TRUE(module_.Load(TARNWELL_BUNDLE, &error)) << error;
  }

  Render Run(PluginInstance& plugin, const std::vector<uint8_t>& chunk) {
    std::string error;
    EXPECT_TRUE(plugin.Create(module_, "Test Host", &error)) << error;
    EXPECT_TRUE(plugin.LoadState(chunk));
    EXPECT_TRUE(plugin.Start(kRate, kBlock));
    Render out;
    const size_t frames = take_.left.size();
    out.left.resize(frames);
    out.right.resize(frames);
    std::vector<float> inL(kBlock), inR(kBlock);
    ProcessContext context{};
    context.state = ProcessContext::kPlaying | ProcessContext::kTempoValid;
    context.sampleRate = kRate;
    context.tempo = 120.0;
    for (size_t at = 0; at < frames; at += kBlock) {
      const int n = static_cast<int>(std::min<size_t>(kBlock, frames - at));
      for (int i = 0; i < n; ++i) {
        inL[static_cast<size_t>(i)] = static_cast<float>(take_.left[at + static_cast<size_t>(i)]);
        inR[static_cast<size_t>(i)] = static_cast<float>(take_.right[at + static_cast<size_t>(i)]);
      }
      context.projectTimeSamples = static_cast<int64>(at);
      EXPECT_EQ(plugin.Process({inL.data(), inR.data()}, {out.left.data() + at, out.right.data() + at}, n, &context),
                kResultOk);
    }
    out.latency = plugin.Processor()->getLatencySamples();
    out.allocations = plugin.AllocationsDuringProcess();
    return out;
  }

  // The lag at which the output lines up best with the input, within 0..maxLag.
  static int BestLag(const std::vector<float>& out, const std::vector<double>& in, int maxLag) {
    int best = 0;
    double bestScore = -1.0;
    for (int lag = 0; lag <= maxLag; ++lag) {
      double dot = 0.0, energy = 0.0;
      for (size_t i = static_cast<size_t>(lag); i < out.size(); ++i) {
        dot += out[i] * in[i - static_cast<size_t>(lag)];
        energy += out[i] * out[i];
      }
      const double score = energy > 0.0 ? dot / std::sqrt(energy) : 0.0;
      if (score > bestScore) {
        bestScore = score;
        best = lag;
      }
    }
    return best;
  }

  Module module_;
  static StereoBuffer take_;
};

StereoBuffer TarnwellRender::take_;

TEST_P(TarnwellRender, FinitePresetOutputWithoutAllocationAndTheReportedLatency) {
  PluginInstance plugin;
  const Render out = Run(plugin, FactoryChunk(GetParam()));
  EXPECT_EQ(out.allocations, 0u);
  double energy = 0.0;
  for (size_t i = 0; i < out.left.size(); ++i) {
    ASSERT_TRUE(std::isfinite(out.left[i]) && std::isfinite(out.right[i])) << "frame " << i;
    energy += out.left[i] * out.left[i];
  }
  EXPECT_GT(energy, 1.0);  // the take comes through, not silence

  // The dry path shows the latency: the output lines up with the input that many samples later.
  // Each look-ahead block alone lines up exactly; the chains' filters move the best match by a
  // sample or two, while a look-ahead left unreported would be off by 48 or more.
  EXPECT_NEAR(BestLag(out.left, take_.left, 400), static_cast<int>(out.latency), 2);
  std::printf("preset %d: latency %u samples\n", GetParam(), out.latency);
}

TEST_P(TarnwellRender, SavedStateRendersTheSameInAFreshInstance) {
  PluginInstance first;
  const Render a = Run(first, FactoryChunk(GetParam()));
  std::vector<uint8_t> saved;
  ASSERT_TRUE(first.SaveState(&saved));
  first.Destroy();

  PluginInstance fresh;
  const Render b = Run(fresh, saved);
  EXPECT_EQ(a.latency, b.latency);
  ASSERT_EQ(a.left.size(), b.left.size());
  size_t differing = 0;
  for (size_t i = 0; i < a.left.size(); ++i)
    if (a.left[i] != b.left[i] || a.right[i] != b.right[i]) ++differing;
  EXPECT_EQ(differing, 0u);
}

// What a host sees of the module: one class, the parameters by their host records and texts,
// a stereo bus each way, no latency while the bays are empty, and the editor's one size.
TEST(TarnwellModule, ExportsItsClassParametersBusesAndAFixedEditor) {
  Module module;
  std::string error;
  ASSERT_TRUE(module.Load(TARNWELL_BUNDLE, &error)) << error;
  tarnwell::test::ExpectOneClass(module, "Tarnwell", 0x62685239 /* bhR9 */);
  PluginInstance plugin;
  ASSERT_TRUE(plugin.Create(module, "Test Host", &error)) << error;
  ASSERT_TRUE(plugin.Start(kRate, kBlock));
  IEditController* controller = plugin.Controller();
  ASSERT_EQ(controller->getParameterCount(), 54);  // and the host's bypass
  tarnwell::test::ExpectParameters(controller, {{0, "Input", "dB", 0, 0.5, 0.75, "6.0"},
                                                {1, "Output", "dB", 0, 0.5, 0.0, "-12.0"},
                                                {2, "Safety", "", 1, 1.0, 0.0, "off"},
                                                {3, "Bay 1 On", "", 1, 0.0, 1.0, "on"},
                                                {4, "Bay 1 Effect", "", 17, 1.0, 15.0 / 17.0, "Clip"},
                                                {5, "Bay 1 Character", "", 15, 1.0 / 15.0, 1.0, "16"},
                                                {21, "Bay 4 Amount", "%", 0, 0.45, 0.5, "50"},
                                                {48, "Bay 10 On", "", 1, 0.0, 0.0, "off"},
                                                {50, "Bay 10 Character", "", 15, 1.0 / 15.0, 0.0, "1"},
                                                {51, "Bay 10 Amount", "%", 0, 0.3, 1.0, "100"},
                                                {52, "Bay 10 Solo", "", 1, 0.0, 1.0, "on"}});
  tarnwell::test::ExpectOneStereoBusEachWay(plugin.Component());
  EXPECT_EQ(plugin.Processor()->getLatencySamples(), 0u);
  tarnwell::test::ExpectFixedEditor(controller, 680, 588);
}

// Host automation arrives on the audio thread; the new latency is the processor's at once,
// but the host hears of it only at the next idle tick, on its UI thread.
TEST(TarnwellModule, AutomatedLatencyReachesTheHostFromTheIdleTick) {
  Module module;
  std::string error;
  ASSERT_TRUE(module.Load(TARNWELL_BUNDLE, &error)) << error;
  PluginInstance plugin;
  ASSERT_TRUE(plugin.Create(module, "Test Host", &error)) << error;
  ASSERT_TRUE(plugin.Start(kRate, kBlock));
  plugin.Handler().ClearCalls();
  plugin.InputChanges().Add(4, 0, 15.0 / 17.0);  // Bay 1 Effect: Clip
  plugin.InputChanges().Add(3, 0, 1.0);          // Bay 1 On
  std::vector<float> inL(kBlock, 0.1f), inR(kBlock, 0.1f), outL(kBlock), outR(kBlock);
  ASSERT_EQ(plugin.Process({inL.data(), inR.data()}, {outL.data(), outR.data()}, kBlock), kResultOk);
  EXPECT_EQ(plugin.Processor()->getLatencySamples(), 72u);
  EXPECT_TRUE(plugin.Handler().Calls().empty());
  plugin.RunUiLoopFor(100);
  const auto calls = plugin.Handler().Calls();
  ASSERT_EQ(calls.size(), 1u);
  EXPECT_EQ(calls[0].kind, tarnwell::host::ComponentHandler::Kind::Restart);
  EXPECT_EQ(calls[0].flags & kLatencyChanged, kLatencyChanged);
  EXPECT_EQ(calls[0].thread, std::this_thread::get_id());
  EXPECT_EQ(plugin.AllocationsDuringProcess(), 0u);
}

// The host tool sets a parameter from a text only when the value it names reads back as that
// text: the plug-in's parser gives some value for any text, "Nope" included.
TEST(TarnwellModule, RenderTakesOnlyTextsThatNameAValueOfTheirParameter) {
  Module module;
  std::string error;
  ASSERT_TRUE(module.Load(TARNWELL_BUNDLE, &error)) << error;
  tarnwell::host::AudioFile input, output;
  input.sampleRate = kRate;
  input.channels.assign(2, std::vector<float>(512, 0.1f));
  const struct {
    const char* parameter;
    const char* text;
    bool taken;
  } cases[] = {
      {"Bay 1 Effect", "Delay", true},  {"Bay 1 Effect", "Nope", false}, {"Bay 1 On", "on", true},
      {"Bay 1 Character", "6", true},   {"Bay 1 Amount", "100", true},   {"Input", "-3.5 dB", true},
      {"Output", "+2", true},           {"Input", "loud", false},        {"Input", "99", false},
      {"Bay 1 Character", "17", false}, {"Safety", "maybe", false},
  };
  for (const auto& c : cases) {
    tarnwell::host::RenderOptions options;
    options.parameters = {{c.parameter, c.text}};
    error.clear();
    EXPECT_EQ(tarnwell::host::Render(module, input, options, &output, &error), c.taken) << c.parameter << "=" << c.text;
    if (!c.taken) {
      EXPECT_NE(error.find(c.text), std::string::npos) << error;
    }
  }
}

INSTANTIATE_TEST_SUITE_P(FactoryPresets, TarnwellRender, ::testing::Values(0, 1, 2, 3),
                         [](const ::testing::TestParamInfo<int32_t>& info) {
                           return std::string(tarnwell::FactoryPresets()[static_cast<size_t>(info.param)].id);
                         });

}  // namespace
