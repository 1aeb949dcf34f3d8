#include "plugin_cost.h"

#include <algorithm>
#include <cstdint>
#include <cstring>
#include <vector>

#include "host/memory_stream.h"
#include "host/module.h"
#include "host/plugin_instance.h"
#include "pass_timer.h"
#include "rack/factory_presets.h"
#include "rack/tarnwell.h"
#include "signals/drum_loop.h"
#include "signals/vocal_signal.h"

namespace {

using namespace Steinberg;
using namespace Steinberg::Vst;
using tarnwell::signals::MakeVocalSignal;
using tarnwell::signals::StereoBuffer;

constexpr double kPreRollSeconds = 1.0;
constexpr double kTempoBpm = 120.0;

using Channels = std::vector<std::vector<float>>;

std::vector<float> Floats(const std::vector<double>& samples) { return {samples.begin(), samples.end()}; }

// The state a session saved with the factory preset selected, made by an instance of this process.
std::vector<std::uint8_t> PresentState() {
  std::int32_t row = 0;
  for (std::int32_t i = 0; i < tarnwell::kFactoryPresetCount; ++i) {
    if (std::strcmp(tarnwell::FactoryPresets()[static_cast<std::size_t>(i)].id, "present") == 0) {
      row = i;
    }
  }
  // The state does not depend on a tempo block.
  auto* plugin = new Tarnwell(tarnwell::MakeSharedTempoBlockSource("TarnwellCost_none"));
  plugin->SelectFactoryPreset(row);
  tarnwell::host::MemoryStream stream;
  const bool saved = plugin->getState(&stream) == kResultOk;
  plugin->release();
  return saved ? stream.Bytes() : std::vector<std::uint8_t>{};
}

Channels InputsFor(PluginCase which, double sampleRate, double seconds) {
  tarnwell::signals::DrumLoop loop;
  loop.pattern = tarnwell::signals::DrumPattern::Backbeat;
  loop.bpm = kTempoBpm;
  loop.noiseRms = 0.01;
  if (which == PluginCase::TarnwellPresent) {
    const StereoBuffer take = MakeVocalSignal(sampleRate, seconds);
    return {Floats(take.left), Floats(take.right)};
  }
  const std::vector<float> drums = Floats(tarnwell::signals::RenderDrumLoop(loop, sampleRate, seconds));
  if (which == PluginCase::Tempo) {
    return {drums, drums};
  }
  const StereoBuffer key = MakeVocalSignal(sampleRate, seconds);
  return {drums, drums, Floats(key.left), Floats(key.right)};
}

struct PluginCaseInfo {
  const char* name;
  const char* bundle;
};

PluginCaseInfo InfoOf(PluginCase which) {
  switch (which) {
    case PluginCase::TarnwellPresent:
      return {"Tarnwell (Present)", "Tarnwell.vst3"};
    case PluginCase::Tempo:
      return {"TarnwellTempo", "TarnwellTempo.vst3"};
    case PluginCase::Duck:
      return {"TarnwellDuck", "TarnwellDuck.vst3"};
  }
  return {"", ""};
}

}  // namespace

const char* PluginCaseName(PluginCase which) { return InfoOf(which).name; }

bool PluginNanosecondsPerFrame(PluginCase which, const std::string& bundleFolder, const CostRun& run, double* ns,
                               std::string* error) {
  tarnwell::host::Module module;
  if (!module.Load(bundleFolder + "/" + InfoOf(which).bundle, error)) {
    return false;
  }
  tarnwell::host::PluginInstance plugin;
  if (!plugin.Create(module, "Tarnwell cost harness", error)) {
    return false;
  }
  plugin.CountAllocations(false);
  if (which == PluginCase::TarnwellPresent && !plugin.LoadState(PresentState())) {
    *error = "the plug-in refused the preset's state";
    return false;
  }
  if (!plugin.Start(run.sampleRate, run.blockSize)) {
    *error = "the plug-in refused the processing set-up";
    return false;
  }

  Channels inputs = InputsFor(which, run.sampleRate, kPreRollSeconds + run.seconds);
  const std::size_t total = inputs[0].size();
  const auto block = static_cast<std::size_t>(run.blockSize);
  Channels outputs(2, std::vector<float>(total));
  ProcessContext context{};
  context.sampleRate = run.sampleRate;
  context.tempo = kTempoBpm;
  context.timeSigNumerator = 4;
  context.timeSigDenominator = 4;
  context.state = ProcessContext::kPlaying | ProcessContext::kTempoValid | ProcessContext::kTimeSigValid;
  std::vector<float*> in(inputs.size());
  std::vector<float*> out(outputs.size());
  bool processed = true;
  const auto processSpan = [&](std::size_t from, std::size_t to) {
    for (std::size_t start = from; start < to; start += block) {
      for (std::size_t c = 0; c < in.size(); ++c) {
        in[c] = inputs[c].data() + start;
      }
      for (std::size_t c = 0; c < out.size(); ++c) {
        out[c] = outputs[c].data() + start;
      }
      context.projectTimeSamples = static_cast<int64>(start);
      const auto frames = static_cast<int>(std::min(block, to - start));
      processed = plugin.Process(in, out, frames, &context) == kResultOk && processed;
    }
  };
  const auto preRoll = static_cast<std::size_t>(kPreRollSeconds * run.sampleRate);
  processSpan(0, preRoll);
  *ns = FastestNanosecondsPerFrame(
      run.passes, total - preRoll, [] {}, [&] { processSpan(preRoll, total); });
  if (!processed) {
    *error = "the plug-in failed a process call";
  }
  return processed;
}
