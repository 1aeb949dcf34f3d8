// A processor for tests: records what its hooks receive and can run a gain in its block
// routine.
#pragma once

#include <vector>

#include "framework/plugin_processor.h"

namespace plugkit::testing {

inline PluginSetup SetupWithChannels(const char* channelLayouts, int32_t latency = 0) {
  PluginSetup setup{};
  setup.channelLayouts = channelLayouts;
  setup.latencySamples = latency;
  return setup;
}

class TestProcessor : public IPluginProcessor {
 public:
  explicit TestProcessor(const char* channelLayouts, int32_t latency = 0)
      : IPluginProcessor(SetupWithChannels(channelLayouts, latency)) {}

  void RenderBlock(double* const* inputs, double* const* outputs, int32_t frames) noexcept override {
    ++renderCalls;
    lastFrames = frames;
    if (gain == 1.0) return IPluginProcessor::RenderBlock(inputs, outputs, frames);
    for (int32_t c = 0; c < NChannels(BusDirection::Output) && c < NChannels(BusDirection::Input); ++c)
      for (int32_t i = 0; i < frames; ++i) outputs[c][i] = inputs[c][i] * gain;
  }

  bool EmitMidi(const MidiMessage& message) noexcept override {
    emitted.push_back(message);
    return message.status != 0;
  }

  double gain = 1.0;
  int renderCalls = 0;
  int32_t lastFrames = 0;
  std::vector<MidiMessage> emitted;
};

// Connects every channel, as the processing glue does each block.
inline void ConnectAll(IPluginProcessor& p) {
  p.SetChannelConnections(BusDirection::Input, 0, p.NChannels(BusDirection::Input), true);
  p.SetChannelConnections(BusDirection::Output, 0, p.NChannels(BusDirection::Output), true);
}

}  // namespace plugkit::testing
