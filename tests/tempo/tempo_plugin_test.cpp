// TarnwellTempo through its built module, driven by the host, publishing to a block named for
// this test through TARNWELL_TEMPO_BLOCK: what it exports, audio passed through unchanged,
// the detected tempo in the block, Tempo Mode, a mono input, state, and no allocation in any
// process call.
#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <filesystem>
#include <memory>
#include <vector>

#include "host/module.h"
#include "host/plugin_instance.h"
#include "host/module_expectations.h"
#include "platform/process_id.h"
#include "platform/shared_memory.h"
#include "rack/dsp/scoped_environment_variable.h"
#include "signals/drum_loop.h"
#include "tempo/block_name.h"
#include "tempo/tempo_block.h"

namespace {

using namespace Steinberg;
using namespace Steinberg::Vst;
using tarnwell::host::Module;
using tarnwell::host::PluginInstance;

constexpr ParamID kBpm = 0, kConfidence = 1, kTempoMode = 2;

using tarnwell::signals::RenderClickTrack;
using tarnwell::test::Narrow;

class TempoPlugin : public ::testing::Test {
 protected:
  void SetUp() override {
    std::string error;
    ASSERT_TRUE(module_.Load(TEMPO_BUNDLE, &error)) << error;
  }

  void Open(PluginInstance& plugin, double rate = 48000.0, bool wide = true) {
    std::string error;
    ASSERT_TRUE(plugin.Create(module_, "Test Host", &error)) << error;
    ASSERT_TRUE(plugin.Start(rate, 1024, wide));
  }

  // Runs the two channels through in blocks and returns the outputs.
  static std::vector<std::vector<double>> RunBlocks(PluginInstance& plugin, std::vector<std::vector<double>> in,
                                                    int block = 512) {
    const size_t n = in[0].size();
    std::vector<std::vector<double>> out(2, std::vector<double>(n));
    for (size_t start = 0; start < n; start += static_cast<size_t>(block)) {
      const int frames = static_cast<int>(std::min(n - start, static_cast<size_t>(block)));
      std::vector<double*> inPtrs, outPtrs;
      for (auto& channel : in) inPtrs.push_back(channel.data() + start);
      for (auto& channel : out) outPtrs.push_back(channel.data() + start);
      EXPECT_EQ(plugin.Process64(inPtrs, outPtrs, frames), kResultOk);
    }
    return out;
  }

  // The block as a reader in another plug-in sees it.
  TempoBlockReading Published() {
    if (!memory_.IsOpen()) {
      EXPECT_TRUE(memory_.OpenReadOnly(name_.c_str(), sizeof(TempoBlock)));
    }
    TempoBlockReading reading{};
    if (memory_.IsOpen()) {
      EXPECT_TRUE(TryReadTempoBlock(*static_cast<const TempoBlock*>(memory_.Data()), &reading));
    }
    return reading;
  }

  tarnwell::test::BlockName name_{"module"};
  ScopedEnvironmentVariable blockVariable_{"TARNWELL_TEMPO_BLOCK", name_.str()};
  plugkit::platform::SharedMemory memory_;
  Module module_;
};

TEST_F(TempoPlugin, ExportsItsClassParametersBusesNoLatencyAndAFixedEditor) {
  tarnwell::test::ExpectOneClass(module_, "Tarnwell Tempo", 0x54746D70 /* Ttmp */);
  PluginInstance plugin;
  Open(plugin);
  IEditController* controller = plugin.Controller();
  ASSERT_EQ(controller->getParameterCount(), 4);  // and the host's bypass
  tarnwell::test::ExpectParameters(controller, {{kBpm, "BPM", "BPM", 0, 0.0, 0.4, "120.0"},
                                                {kConfidence, "Confidence", "", 0, 0.0, 0.5, "0.50"},
                                                {kTempoMode, "Tempo Mode", "", 2, 0.0, 1.0, "Double"}});
  String128 half{};
  controller->getParamStringByValue(kTempoMode, 0.5, half);
  EXPECT_EQ(Narrow(half), "Half");

  tarnwell::test::ExpectOneStereoBusEachWay(plugin.Component());
  EXPECT_EQ(plugin.Processor()->getLatencySamples(), 0u);

  tarnwell::test::ExpectFixedEditor(controller, 227, 303);
  EXPECT_TRUE(
      std::filesystem::is_regular_file(std::filesystem::path(TEMPO_BUNDLE) / "Contents/Resources/web/index.html"));
}

TEST_F(TempoPlugin, PassesTheAudioThroughUnchangedInAnyBlockSize) {
  const std::vector<double> left = RenderClickTrack(120, 48000.0, 1.0);
  std::vector<double> right(left.size());
  for (size_t i = 0; i < right.size(); ++i) right[i] = std::sin(0.01 * static_cast<double>(i)) * 0.3;
  for (int block : {1, 64, 333, 512, 1024}) {
    PluginInstance plugin;
    Open(plugin);
    const auto out = RunBlocks(plugin, {left, right}, block);
    EXPECT_EQ(out[0], left) << block;
    EXPECT_EQ(out[1], right) << block;
    EXPECT_EQ(plugin.AllocationsDuringProcess(), 0u);
  }
  // 32-bit host buffers too.
  PluginInstance plugin;
  Open(plugin, 48000.0, false);
  std::vector<float> in(512), outL(512), outR(512);
  for (size_t i = 0; i < in.size(); ++i) in[i] = static_cast<float>(left[i]) + 0.125f;
  ASSERT_EQ(plugin.Process({in.data(), in.data()}, {outL.data(), outR.data()}, 512), kResultOk);
  EXPECT_EQ(outL, in);
  EXPECT_EQ(outR, in);
}

TEST_F(TempoPlugin, PublishesTheDetectedTempoScaledByTheTempoMode) {
  PluginInstance plugin;
  Open(plugin);
  const std::vector<double> clicks = RenderClickTrack(120, 48000.0, 6.0);
  RunBlocks(plugin, {clicks, clicks});
  const TempoBlockReading first = Published();
  EXPECT_NEAR(first.bpm, 119.86f, 0.05f);
  EXPECT_GE(first.confidence, 0.9f);
  EXPECT_EQ(first.writerPid, plugkit::platform::CurrentProcessId());
  EXPECT_EQ(first.magic, kTempoBlockMagic);
  EXPECT_EQ(first.sequence, 2u * static_cast<uint32_t>((clicks.size() + 511) / 512));

  const std::vector<double> more(clicks.begin(), clicks.begin() + 1024);
  for (const auto& [normalised, factor] : {std::pair{0.5, 0.5f}, std::pair{1.0, 2.0f}}) {
    plugin.InputChanges().Add(kTempoMode, 0, normalised);
    RunBlocks(plugin, {more, more});
    EXPECT_NEAR(Published().bpm, first.bpm * factor, 0.05f * factor) << normalised;
  }
  EXPECT_EQ(plugin.AllocationsDuringProcess(), 0u);
}

// With one input channel connected the detector hears the left channel alone.
TEST_F(TempoPlugin, AMonoInputIsAnalysedFromItsOneChannel) {
  PluginInstance plugin;
  Open(plugin);
  plugin.SetProcessing(false);
  plugin.SetActive(false);
  plugin.PassBusChannels(kInput, 0, 1);
  ASSERT_EQ(plugin.SetActive(true), kResultOk);
  plugin.SetProcessing(true);
  const std::vector<double> clicks = RenderClickTrack(120, 48000.0, 6.0);
  RunBlocks(plugin, {clicks});
  EXPECT_NEAR(Published().bpm, 119.86f, 0.05f);
}

TEST_F(TempoPlugin, StateHoldsTheTempoModeAndAPushedBpmIsOverwrittenAtTheNextBlock) {
  std::vector<uint8_t> chunk;
  {
    PluginInstance plugin;
    Open(plugin);
    plugin.Controller()->setParamNormalized(kTempoMode, 1.0);
    plugin.InputChanges().Add(kTempoMode, 0, 1.0);
    RunBlocks(plugin, {std::vector<double>(512, 0.0), std::vector<double>(512, 0.0)});
    ASSERT_TRUE(plugin.SaveState(&chunk));
  }
  PluginInstance restored;
  Open(restored);
  ASSERT_TRUE(restored.LoadState(chunk));
  EXPECT_EQ(restored.Controller()->getParamNormalized(kTempoMode), 1.0);
  EXPECT_EQ(restored.Controller()->getParamNormalized(kBpm), 0.0);
  // Garbage is refused without touching what is there.
  const std::vector<uint8_t> garbage = {1, 2, 3};
  restored.LoadState(garbage);
  EXPECT_EQ(restored.Controller()->getParamNormalized(kTempoMode), 1.0);
}

}  // namespace
