#include "glue_processor.h"

#include <xmmintrin.h>

#include <cstdlib>

#include "framework/denormal_mode.h"

namespace plugkit::test {
namespace {

thread_local uint64_t growths = 0;

void* CountingRealloc(void* block, std::size_t bytes) {
  ++growths;
  return std::realloc(block, bytes);
}

}  // namespace

GrowthCounter::GrowthCounter() : previous_(SetGrowBufferReallocForTesting(&CountingRealloc)) { growths = 0; }

GrowthCounter::~GrowthCounter() { SetGrowBufferReallocForTesting(previous_); }

uint64_t GrowthCounter::Count() const { return growths; }

PluginSetup GlueSetup(const char* channelLayouts, int32_t latency, bool midiIn, bool midiOut) {
  PluginSetup setup{};
  setup.channelLayouts = channelLayouts;
  setup.latencySamples = latency;
  setup.midiIn = midiIn;
  setup.midiOut = midiOut;
  return setup;
}

GlueProcessor::GlueProcessor(const PluginSetup& setup, int32_t count) : IPluginVST3ProcessorBase(setup, *this) {
  // Room up front, so that recording in the block routine never allocates.
  changes.reserve(256);
  renderedFrames.reserve(256);
  firstInputs.reserve(256);
  sysExSizes.reserve(256);
  for (int32_t i = 0; i < count; ++i) {
    params.push_back(std::make_unique<IParam>());
    params.back()->SetupContinuous("Level", 0.0, -10.0, 10.0, 0.5, "", ParamFlag::Stepped);
  }
}

void GlueProcessor::OnHostParamChange(int32_t index, int32_t offset) noexcept {
  changes.push_back({index, offset, params[static_cast<size_t>(index)]->Value()});
}

int32_t GlueProcessor::DeclaredAudioBusCount(BusDirection direction) const noexcept {
  return direction == BusDirection::Input ? declaredInputs : declaredOutputs;
}

bool GlueProcessor::IsAudioBusActive(BusDirection direction, int32_t bus) const noexcept {
  const std::vector<bool>& active = direction == BusDirection::Input ? inputActive : outputActive;
  return bus >= 0 && bus < static_cast<int32_t>(active.size()) && active[static_cast<size_t>(bus)];
}

void GlueProcessor::RenderBlock(double* const* inputs, double* const* outputs, int32_t frames) noexcept {
  ++renderCalls;
  renderedFrames.push_back(frames);
  firstInputs.push_back(inputs[0]);
  denormalBits = _mm_getcsr() & ScopedDenormalsOff::kFlushBits;
  const int32_t pairs = std::min(NChannels(BusDirection::Input), NChannels(BusDirection::Output));
  for (int32_t c = 0; c < pairs; ++c)
    for (int32_t i = 0; i < frames; ++i) outputs[c][i] = inputs[c][i] * gain;
}

}  // namespace plugkit::test
