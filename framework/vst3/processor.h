// IPluginVST3ProcessorBase: the host's VST 3 audio calls turned into the framework's
// processor model. Each process call takes the transport, applies the last point of every
// parameter queue, converts MIDI, attaches the host's buffers to the channel records and
// runs the block routine, or the bypass copy delayed by the latency.
//
// Threads: SetupProcessing and SetProcessing come from the host between blocks; Process runs
// on the audio thread and takes no lock. It allocates only to grow the MIDI output list
// past its capacity, which a block normally stays within.
#pragma once

#include <atomic>
#include <cstdint>

#include "framework/core/midi_message.h"
#include "framework/core/param.h"
#include "framework/core/sysex_message.h"
#include "framework/midi_output_list.h"
#include "framework/plugin_processor.h"
#include "pluginterfaces/vst/ivstaudioprocessor.h"
#include "pluginterfaces/vst/ivstevents.h"
#include "pluginterfaces/vst/ivstparameterchanges.h"
#include "pluginterfaces/vst/ivstprocesscontext.h"

namespace plugkit {

// What the processing glue needs of the plug-in object it is part of. All of it is called
// on the audio thread and must neither allocate nor lock.
class Vst3ProcessorOwner {
 public:
  virtual int32_t ParamCount() const noexcept = 0;
  virtual IParam* ParamAt(int32_t index) const noexcept = 0;
  // The plug-in's parameter-change hook for a change the host sent with a block.
  virtual void OnHostParamChange(int32_t index, int32_t sampleOffset) noexcept = 0;
  // The audio buses the component declares, and whether the host activated one.
  virtual int32_t DeclaredAudioBusCount(BusDirection direction) const noexcept = 0;
  virtual bool IsAudioBusActive(BusDirection direction, int32_t bus) const noexcept = 0;
  // MIDI between the audio thread and the UI thread; a full ring drops the message.
  virtual void QueueMidiForUI(const MidiMessage& message) noexcept = 0;
  virtual bool TakeMidiFromUI(MidiMessage& message) noexcept = 0;
  virtual bool TakeSysExFromUI(SysExRecord& record) noexcept = 0;

 protected:
  ~Vst3ProcessorOwner() = default;
};

class IPluginVST3ProcessorBase : public IPluginProcessor {
 public:
  static constexpr int32_t kInitialBlockSize = 512;

  // owner is only used from the first host call on, so it may still be under construction.
  IPluginVST3ProcessorBase(const PluginSetup& setup, Vst3ProcessorOwner& owner) noexcept;
  ~IPluginVST3ProcessorBase() override;

  // 32-bit and 64-bit float samples.
  Steinberg::tresult CanProcessSampleSize(Steinberg::int32 symbolicSampleSize) const noexcept;
  // Refuses an unknown sample size, a block size below 1 and a sample rate that is not a
  // positive number, storing nothing. Otherwise sizes the scratch buffers, the MIDI output
  // list and the bypass delay, then resets the DSP.
  Steinberg::tresult SetupProcessing(const Steinberg::Vst::ProcessSetup& setup) noexcept;
  // Stopping resets the DSP.
  Steinberg::tresult SetProcessing(bool processing) noexcept;
  // One block, with flush-to-zero set for its duration. Always kResultOk.
  Steinberg::tresult Process(Steinberg::Vst::ProcessData& data) noexcept;

  // The MIDI output list takes the message when the plug-in emits MIDI; otherwise it is
  // dropped, since nothing would ever hand it to the host. Always true.
  bool EmitMidi(const MidiMessage& message) noexcept override;

  // True while the calling thread is inside Process (a host may process on its UI thread).
  bool IsInProcessCallOnThisThread() const noexcept;

  const Steinberg::Vst::ProcessSetup& StoredSetup() const noexcept { return setup_; }
  int32_t SideChainFirstChannel() const noexcept { return sideChainFirstChannel_; }
  const MidiOutputList& OutputEvents() const noexcept { return outputEvents_; }

 private:
  void ReadTransport(const Steinberg::Vst::ProcessContext* context) noexcept;
  void ApplyParameterQueues(Steinberg::Vst::IParameterChanges* changes) noexcept;
  void ReadInputEvents(Steinberg::Vst::IEventList* events) noexcept;
  void RenderBuses(Steinberg::Vst::ProcessData& data, int32_t frames) noexcept;
  void ConnectInputs(const Steinberg::Vst::ProcessData& data) noexcept;
  void ConnectOutputs(const Steinberg::Vst::ProcessData& data) noexcept;
  void Attach(BusDirection direction, int32_t first, const Steinberg::Vst::AudioBusBuffers& bus,
              bool doublePrecision) noexcept;
  void WriteOutputEvents(Steinberg::Vst::IEventList* events, int32_t frames) noexcept;

  Vst3ProcessorOwner& owner_;
  int32_t sideChainFirstChannel_;
  bool sideChainActive_ = false;
  MidiOutputList outputEvents_;
  Steinberg::Vst::ProcessContext processContext_{};
  Steinberg::Vst::ProcessSetup setup_{};
  SysExRecord sysExScratch_;
  std::atomic<uint64_t> processThread_{0};
};

}  // namespace plugkit
