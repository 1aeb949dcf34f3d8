#include "framework/vst3/processor.h"

#include <algorithm>
#include <cmath>

#include "framework/denormal_mode.h"
#include "framework/vst3/ids.h"
#include "framework/vst3/midi_events.h"
#include "platform/thread_identity.h"

namespace plugkit {

using namespace Steinberg;
using namespace Steinberg::Vst;

namespace {

constexpr uint32 kProjectTimeMusicValid = ProcessContext::kProjectTimeMusicValid;

int32_t ChannelsOf(const AudioBusBuffers& bus) { return std::max<int32_t>(bus.numChannels, 0); }

}  // namespace

IPluginVST3ProcessorBase::IPluginVST3ProcessorBase(const PluginSetup& setup, Vst3ProcessorOwner& owner) noexcept
    : IPluginProcessor(setup), owner_(owner), sideChainFirstChannel_(MaxNChannelsForBus(BusDirection::Input, 0)) {
  SetChannelConnections(BusDirection::Input, 0, NChannels(BusDirection::Input), true);
  SetChannelConnections(BusDirection::Output, 0, NChannels(BusDirection::Output), true);
  ResetLatencyDelay();
  SetBlockSize(kInitialBlockSize);
  setup_.processMode = kRealtime;
  setup_.symbolicSampleSize = kSample32;
  setup_.maxSamplesPerBlock = kInitialBlockSize;
  setup_.sampleRate = SampleRate();
}

IPluginVST3ProcessorBase::~IPluginVST3ProcessorBase() = default;

tresult IPluginVST3ProcessorBase::CanProcessSampleSize(int32 symbolicSampleSize) const noexcept {
  return symbolicSampleSize == kSample32 || symbolicSampleSize == kSample64 ? kResultOk : kResultFalse;
}

tresult IPluginVST3ProcessorBase::SetupProcessing(const ProcessSetup& setup) noexcept {
  if (CanProcessSampleSize(setup.symbolicSampleSize) != kResultOk || setup.maxSamplesPerBlock <= 0 ||
      !(setup.sampleRate > 0.0) || !std::isfinite(setup.sampleRate))
    return kResultFalse;
  if (!SetBlockSize(setup.maxSamplesPerBlock)) {
    // The old block size is gone with the failed resize; keep a size the scratch still has.
    SetBlockSize(setup_.maxSamplesPerBlock);
    return kOutOfMemory;
  }
  setup_ = setup;
  SetSampleRate(setup.sampleRate);
  outputEvents_.Prepare(setup.maxSamplesPerBlock);
  ResetLatencyDelay();
  ResetDsp();
  return kResultOk;
}

tresult IPluginVST3ProcessorBase::SetProcessing(bool processing) noexcept {
  if (!processing) ResetDsp();
  return kResultOk;
}

bool IPluginVST3ProcessorBase::IsInProcessCallOnThisThread() const noexcept {
  return processThread_.load(std::memory_order_relaxed) == platform::CurrentThreadId();
}

tresult IPluginVST3ProcessorBase::Process(ProcessData& data) noexcept {
  ScopedDenormalsOff denormalsOff;
  processThread_.store(platform::CurrentThreadId(), std::memory_order_relaxed);
  const int32_t frames = std::max<int32_t>(data.numSamples, 0);
  ReadTransport(data.processContext);
  SetRenderingOffline(setup_.processMode == kOffline);
  ApplyParameterQueues(data.inputParameterChanges);
  if (TakesMidi()) ReadInputEvents(data.inputEvents);
  RenderBuses(data, frames);
  if (EmitsMidi()) WriteOutputEvents(data.outputEvents, frames);
  processThread_.store(0, std::memory_order_relaxed);
  return kResultOk;
}

bool IPluginVST3ProcessorBase::EmitMidi(const MidiMessage& message) noexcept {
  if (EmitsMidi()) outputEvents_.Insert(message);
  return true;
}

void IPluginVST3ProcessorBase::ReadTransport(const ProcessContext* context) noexcept {
  if (context != nullptr) processContext_ = *context;
  const ProcessContext& c = processContext_;
  TransportInfo& t = Transport();
  t.tempo = c.tempo;
  // Gated on the musical-time bit, as hosts that fill one fill both.
  t.samplePosition = (c.state & kProjectTimeMusicValid) ? static_cast<double>(c.projectTimeSamples) : -1.0;
  t.musicalPosition = c.projectTimeMusic;
  t.lastBarStart = c.barPositionMusic;
  t.cycleStart = c.cycleStartMusic;
  t.cycleEnd = c.cycleEndMusic;
  t.timeSignatureNumerator = c.timeSigNumerator;
  t.timeSignatureDenominator = c.timeSigDenominator;
  t.transportIsRunning = (c.state & ProcessContext::kPlaying) != 0;
  t.transportLoopEnabled = (c.state & ProcessContext::kCycleActive) != 0;
}

void IPluginVST3ProcessorBase::ApplyParameterQueues(IParameterChanges* changes) noexcept {
  if (changes == nullptr) return;
  const int32 queues = changes->getParameterCount();
  const int32_t paramCount = owner_.ParamCount();
  for (int32 q = 0; q < queues; ++q) {
    IParamValueQueue* queue = changes->getParameterData(q);
    if (queue == nullptr) continue;
    const int32 points = queue->getPointCount();
    int32 offset = 0;
    ParamValue value = 0;
    if (points <= 0 || queue->getPoint(points - 1, offset, value) != kResultOk) continue;
    // Ids are signed in the framework: the top half of the range counts as negative.
    const auto id = static_cast<int32_t>(queue->getParameterId());
    if (id == static_cast<int32_t>(kBypassParamId)) {
      SetBypassed(value > 0.5);
    } else if (id >= 0 && id < paramCount) {
      if (IParam* param = owner_.ParamAt(id)) {
        param->SetNormalised(value);
        owner_.OnHostParamChange(id, offset);
      }
    } else if (id >= static_cast<int32_t>(kMidiControllerParamBase)) {
      MidiMessage message;
      if (MidiFromControllerParam(static_cast<uint32_t>(id), value, offset, message)) {
        owner_.QueueMidiForUI(message);
        HandleMidi(message);
      }
    }
  }
}

void IPluginVST3ProcessorBase::ReadInputEvents(IEventList* events) noexcept {
  const int32 count = events != nullptr ? events->getEventCount() : 0;
  for (int32 i = 0; i < count; ++i) {
    Event event{};
    if (events->getEvent(i, event) != kResultOk) continue;
    MidiMessage message;
    if (MidiFromEvent(event, message)) {
      HandleMidi(message);
      owner_.QueueMidiForUI(message);
    } else if (event.type == Event::kDataEvent && event.data.size <= static_cast<uint32>(INT32_MAX)) {
      HandleSysEx(SysExMessage{event.sampleOffset, static_cast<int32_t>(event.data.size), event.data.bytes});
    }
  }
  MidiMessage fromUI;
  while (owner_.TakeMidiFromUI(fromUI)) HandleMidi(fromUI);
}

void IPluginVST3ProcessorBase::Attach(BusDirection direction, int32_t first, const AudioBusBuffers& bus,
                                      bool doublePrecision) noexcept {
  if (doublePrecision)
    AttachBuffers(direction, first, ChannelsOf(bus), bus.channelBuffers64);
  else
    AttachBuffers32(direction, first, ChannelsOf(bus), bus.channelBuffers32);
}

void IPluginVST3ProcessorBase::ConnectInputs(const ProcessData& data) noexcept {
  const int32_t all = NChannels(BusDirection::Input);
  SetChannelConnections(BusDirection::Input, 0, all, false);
  // Without a host input bus every input reads its (silent) scratch for this block.
  if (data.numInputs < 1 || data.inputs == nullptr) return;
  const bool doublePrecision = data.symbolicSampleSize == kSample64;
  const AudioBusBuffers& main = data.inputs[0];
  if (owner_.DeclaredAudioBusCount(BusDirection::Input) >= 2) {
    if (owner_.IsAudioBusActive(BusDirection::Input, 1) && data.numInputs >= 2) {
      const AudioBusBuffers& side = data.inputs[1];
      sideChainActive_ = true;
      SetChannelConnections(BusDirection::Input, 0, ChannelsOf(main), true);
      SetChannelConnections(BusDirection::Input, sideChainFirstChannel_, ChannelsOf(side), true);
      Attach(BusDirection::Input, 0, main, doublePrecision);
      Attach(BusDirection::Input, sideChainFirstChannel_, side, doublePrecision);
      return;
    }
    if (sideChainActive_) {
      // The side-chain scratch still holds the last key signal: silence it once.
      ZeroScratchBuffers();
      sideChainActive_ = false;
    }
  }
  SetChannelConnections(BusDirection::Input, 0, ChannelsOf(main), true);
  Attach(BusDirection::Input, 0, main, doublePrecision);
}

void IPluginVST3ProcessorBase::ConnectOutputs(const ProcessData& data) noexcept {
  const int32_t all = NChannels(BusDirection::Output);
  SetChannelConnections(BusDirection::Output, 0, all, false);
  if (data.numOutputs < 1 || data.outputs == nullptr) return;
  const bool doublePrecision = data.symbolicSampleSize == kSample64;
  const int32_t declared = std::min<int32_t>(data.numOutputs, owner_.DeclaredAudioBusCount(BusDirection::Output));
  int32_t first = 0;
  for (int32_t b = 0; b < declared && first < all; ++b) {
    const AudioBusBuffers& bus = data.outputs[b];
    const int32_t n = ChannelsOf(bus);
    SetChannelConnections(BusDirection::Output, first, n, owner_.IsAudioBusActive(BusDirection::Output, b));
    Attach(BusDirection::Output, first, bus, doublePrecision);
    first += std::min(n, all - first);
  }
}

void IPluginVST3ProcessorBase::RenderBuses(ProcessData& data, int32_t frames) noexcept {
  if (data.symbolicSampleSize != kSample32 && data.symbolicSampleSize != kSample64) return;
  ConnectInputs(data);
  ConnectOutputs(data);
  if (IsBypassed())
    PassThroughBuffers(frames);
  else
    ProcessBuffers(frames);
}

void IPluginVST3ProcessorBase::WriteOutputEvents(IEventList* events, int32_t frames) noexcept {
  if (events != nullptr) {
    const int32_t pending = outputEvents_.Pending();
    for (int32_t i = 0; i < pending; ++i) {
      Event event{};
      if (EventFromMidi(outputEvents_.PendingAt(i), event)) events->addEvent(event);
    }
    outputEvents_.Consume(pending);
  }
  outputEvents_.Compact();
  // Without a host list the messages wait for a later block, whose offsets start at 0.
  outputEvents_.ShiftOffsets(frames);
  while (owner_.TakeSysExFromUI(sysExScratch_)) {
    Event event = EventFromSysEx(sysExScratch_);
    if (events != nullptr) events->addEvent(event);
  }
}

}  // namespace plugkit
