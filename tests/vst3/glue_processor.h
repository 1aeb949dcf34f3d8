// The processing glue on a small plug-in of its own: real IParams and rings, buses whose
// activity the test sets, and a block routine that records what it saw. ProcessData is
// built here as a host builds it.
#pragma once

#include <memory>
#include <vector>

#include "framework/core/grow_buffer.h"
#include "framework/core/ring_queue.h"
#include "framework/vst3/processor.h"
#include "host/allocation_guard.h"
#include "host/event_list.h"
#include "host/parameter_changes.h"

namespace plugkit::test {

// Counts framework container growth (which goes through realloc, not operator new) while
// it lives.
class GrowthCounter {
 public:
  GrowthCounter();
  ~GrowthCounter();
  uint64_t Count() const;

 private:
  GrowBufferReallocFunction previous_;
};

class GlueProcessor : public Vst3ProcessorOwner, public IPluginVST3ProcessorBase {
 public:
  struct ParamChange {
    int32_t index;
    int32_t offset;
    double value;
  };

  explicit GlueProcessor(const PluginSetup& setup, int32_t params = 3);

  // --- Vst3ProcessorOwner.
  int32_t ParamCount() const noexcept override { return static_cast<int32_t>(params.size()); }
  IParam* ParamAt(int32_t index) const noexcept override { return params[static_cast<size_t>(index)].get(); }
  void OnHostParamChange(int32_t index, int32_t offset) noexcept override;
  int32_t DeclaredAudioBusCount(BusDirection direction) const noexcept override;
  bool IsAudioBusActive(BusDirection direction, int32_t bus) const noexcept override;
  void QueueMidiForUI(const MidiMessage& message) noexcept override { midiToUI.Push(message); }
  bool TakeMidiFromUI(MidiMessage& message) noexcept override { return midiFromUI.Pop(message); }
  bool TakeSysExFromUI(SysExRecord& record) noexcept override { return sysExFromUI.Pop(record); }

  // --- Processor hooks.
  void RenderBlock(double* const* inputs, double* const* outputs, int32_t frames) noexcept override;
  void HandleSysEx(const SysExMessage& message) noexcept override { sysExSizes.push_back(message.size); }
  void ResetDsp() noexcept override { ++resets; }

  // One process call over non-interleaved host channels, one vector of channels per bus.
  template <typename Sample>
  Steinberg::tresult Run(std::vector<std::vector<Sample*>> inputs, std::vector<std::vector<Sample*>> outputs,
                         int32_t frames, const Steinberg::Vst::ProcessContext* context = nullptr);

  std::vector<std::unique_ptr<IParam>> params;
  std::vector<ParamChange> changes;
  int32_t declaredInputs = 1;
  int32_t declaredOutputs = 1;
  std::vector<bool> inputActive{true, false};
  std::vector<bool> outputActive{true};
  RingQueue<MidiMessage> midiToUI{32};
  RingQueue<MidiMessage> midiFromUI{32};
  RingQueue<SysExRecord> sysExFromUI{4};
  std::vector<int32_t> sysExSizes;
  tarnwell::host::ParameterChanges hostChanges;
  tarnwell::host::EventList hostEventsIn;
  tarnwell::host::EventList hostEventsOut;
  bool passEventsOut = true;

  // What the block routine saw.
  int renderCalls = 0;
  std::vector<int32_t> renderedFrames;
  std::vector<const double*> firstInputs;  // inputs[0] of each call
  unsigned int denormalBits = 0;           // MXCSR flush bits during the last call
  double gain = 1.0;
  int resets = 0;
  uint64_t processAllocations = 0;  // counted inside Process only
};

template <typename Sample>
Steinberg::tresult GlueProcessor::Run(std::vector<std::vector<Sample*>> inputs,
                                      std::vector<std::vector<Sample*>> outputs, int32_t frames,
                                      const Steinberg::Vst::ProcessContext* context) {
  using namespace Steinberg::Vst;
  auto buses = [](std::vector<std::vector<Sample*>>& channels) {
    std::vector<AudioBusBuffers> result(channels.size());
    for (size_t b = 0; b < channels.size(); ++b) {
      result[b].numChannels = static_cast<Steinberg::int32>(channels[b].size());
      if constexpr (sizeof(Sample) == 4)
        result[b].channelBuffers32 = channels[b].data();
      else
        result[b].channelBuffers64 = channels[b].data();
    }
    return result;
  };
  std::vector<AudioBusBuffers> in = buses(inputs), out = buses(outputs);
  ProcessData data{};
  data.symbolicSampleSize = sizeof(Sample) == 4 ? kSample32 : kSample64;
  data.numSamples = frames;
  data.numInputs = static_cast<Steinberg::int32>(in.size());
  data.numOutputs = static_cast<Steinberg::int32>(out.size());
  data.inputs = in.empty() ? nullptr : in.data();
  data.outputs = out.empty() ? nullptr : out.data();
  data.inputParameterChanges = &hostChanges;
  data.inputEvents = &hostEventsIn;
  data.outputEvents = passEventsOut ? &hostEventsOut : nullptr;
  data.processContext = const_cast<ProcessContext*>(context);
  Steinberg::tresult result;
  {
    GrowthCounter growths;
    tarnwell::host::AllocationGuard guard;
    result = Process(data);
    processAllocations += guard.Count() + growths.Count();
  }
  hostChanges.Clear();
  hostEventsIn.Clear();
  return result;
}

PluginSetup GlueSetup(const char* channelLayouts, int32_t latency = 0, bool midiIn = false, bool midiOut = false);

}  // namespace plugkit::test
