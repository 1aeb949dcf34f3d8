// The whole Tarnwell plug-in's process call through the VST 3 binding beside the bare rack
// engine, in one run, with the same typical vocal chain at 48 kHz and blocks of 32, 128 and
// 512. The difference is the plug-in's own work per block: the settings snapshot, the tempo
// link, the meters and the binding's glue (parameter queues, 32-bit conversion, copies).
// One iteration is one block; "items_per_second" is stereo frames per second and
// "realtime_factor" how many 48 kHz streams one core would keep up with.
#include <benchmark/benchmark.h>

#include <algorithm>
#include <vector>

#include "bench/rack_configs.h"
#include "framework/denormal_mode.h"
#include "host/host_application.h"
#include "rack/dsp/engine.h"
#include "rack/tarnwell.h"
#include "rack/tarnwell_params.h"
#include "signals/vocal_signal.h"

namespace {

using namespace Steinberg;
using namespace Steinberg::Vst;
using tarnwell::signals::MakeVocalSignal;
using tarnwell::signals::StereoBuffer;

constexpr double kRate = 48000.0;
constexpr double kSignalSeconds = 4.0;

const StereoBuffer& Take() {
  static const StereoBuffer take = MakeVocalSignal(kRate, kSignalSeconds);
  return take;
}

void CountFrames(benchmark::State& state, size_t block) {
  const auto frames = static_cast<double>(state.iterations()) * static_cast<double>(block);
  state.SetItemsProcessed(static_cast<int64_t>(frames));
  state.counters["realtime_factor"] = benchmark::Counter(frames / kRate, benchmark::Counter::kIsRate);
}

void RackEngineBlock(benchmark::State& state) {
  const auto block = static_cast<size_t>(state.range(0));
  const tarnwell::dsp::EngineSettings settings = VocalChainRack().settings;
  const StereoBuffer& take = Take();
  tarnwell::dsp::RackEngine engine;
  engine.Prepare(kRate);
  std::vector<double> left(block), right(block);
  plugkit::ScopedDenormalsOff flush;  // as inside a process call
  size_t position = 0;
  for (auto _ : state) {
    if (position + block > take.left.size()) position = 0;
    std::copy_n(take.left.begin() + static_cast<std::ptrdiff_t>(position), block, left.begin());
    std::copy_n(take.right.begin() + static_cast<std::ptrdiff_t>(position), block, right.begin());
    double* channels[2] = {left.data(), right.data()};
    engine.Process(channels, 2, static_cast<int32_t>(block), settings);
    benchmark::DoNotOptimize(left[0]);
    position += block;
  }
  CountFrames(state, block);
  state.SetLabel("rack engine");
}

// The chain's settings as the plug-in's parameters.
void SetChain(Tarnwell& plugin, const tarnwell::dsp::EngineSettings& settings) {
  using tarnwell::BayField;
  using tarnwell::BayParam;
  for (int32_t bay = 0; bay < tarnwell::dsp::kBayCount; ++bay) {
    const tarnwell::dsp::BayControl& control = settings.bays[static_cast<size_t>(bay)];
    plugin.GetParam(BayParam(bay, BayField::On))->SetValue(control.on ? 1.0 : 0.0);
    plugin.GetParam(BayParam(bay, BayField::Effect))->SetValue(control.type);
    plugin.GetParam(BayParam(bay, BayField::Character))->SetValue(control.character);
    plugin.GetParam(BayParam(bay, BayField::Amount))->SetValue(100.0 * control.amount);
    plugin.GetParam(BayParam(bay, BayField::Solo))->SetValue(control.solo ? 1.0 : 0.0);
  }
  plugin.GetParam(tarnwell::kSafetyParam)->SetValue(settings.safety ? 1.0 : 0.0);
}

void TarnwellProcessCall(benchmark::State& state) {
  const auto block = static_cast<size_t>(state.range(0));
  const StereoBuffer& take = Take();
  tarnwell::host::HostApplication host("Benchmark");
  auto* plugin = new Tarnwell(tarnwell::MakeSharedTempoBlockSource("TarnwellBench_none"));
  plugin->initialize(&host);
  SetChain(*plugin, VocalChainRack().settings);
  ProcessSetup setup{kRealtime, kSample32, static_cast<int32>(block), kRate};
  plugin->setupProcessing(setup);
  plugin->setActive(true);
  plugin->setProcessing(true);

  // 32-bit buffers, as most hosts hand them.
  std::vector<float> inL(take.left.begin(), take.left.end()), inR(take.right.begin(), take.right.end());
  std::vector<float> outL(block), outR(block);
  ProcessContext context{};
  context.state = ProcessContext::kPlaying | ProcessContext::kTempoValid;
  context.sampleRate = kRate;
  context.tempo = 120.0;
  size_t position = 0;
  for (auto _ : state) {
    if (position + block > inL.size()) position = 0;
    float* in[2] = {inL.data() + position, inR.data() + position};
    float* out[2] = {outL.data(), outR.data()};
    AudioBusBuffers input{}, output{};
    input.numChannels = output.numChannels = 2;
    input.channelBuffers32 = in;
    output.channelBuffers32 = out;
    ProcessData data{};
    data.processMode = kRealtime;
    data.symbolicSampleSize = kSample32;
    data.numSamples = static_cast<int32>(block);
    data.numInputs = data.numOutputs = 1;
    data.inputs = &input;
    data.outputs = &output;
    context.projectTimeSamples = static_cast<int64>(position);
    data.processContext = &context;
    plugin->process(data);
    benchmark::DoNotOptimize(outL[0]);
    position += block;
  }
  plugin->setProcessing(false);
  plugin->setActive(false);
  plugin->terminate();
  plugin->release();
  CountFrames(state, block);
  state.SetLabel("plug-in process call");
}

BENCHMARK(RackEngineBlock)->ArgName("block")->Arg(32)->Arg(128)->Arg(512);
BENCHMARK(TarnwellProcessCall)->ArgName("block")->Arg(32)->Arg(128)->Arg(512);

}  // namespace

BENCHMARK_MAIN();
