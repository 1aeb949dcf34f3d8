#include "host/plugin_instance.h"

#include <algorithm>
#include <cstring>

#include "host/allocation_guard.h"
#include "host/bus_channels.h"
#include "host/memory_stream.h"
#include "host/parameter_infos.h"
#include "host/text.h"
#include "platform/host_window.h"
#include "platform/ui_loop.h"

namespace tarnwell::host {

using namespace Steinberg;
using namespace Steinberg::Vst;

namespace {

template <typename T>
void ReleaseAndClear(T*& ptr) {
  if (ptr) ptr->release();
  ptr = nullptr;
}

}  // namespace

PluginInstance::~PluginInstance() { Destroy(); }

bool PluginInstance::Create(const Module& module, const std::string& hostName, std::string* error) {
  Destroy();
  IPluginFactory* factory = module.Factory();
  if (factory == nullptr) {
    if (error) *error = "no factory";
    return false;
  }
  for (int32 i = 0; i < factory->countClasses() && component_ == nullptr; ++i) {
    PClassInfo info{};
    if (factory->getClassInfo(i, &info) != kResultOk || std::strcmp(info.category, kVstAudioEffectClass) != 0) continue;
    factory->createInstance(info.cid, IComponent::iid, reinterpret_cast<void**>(&component_));
  }
  if (component_ == nullptr) {
    if (error) *error = "the module created no audio effect";
    return false;
  }
  IComponent* created = component_;
  component_ = nullptr;
  if (!Adopt(created, hostName, error)) return false;
  module_ = &module;
  return true;
}

bool PluginInstance::Adopt(IComponent* component, const std::string& hostName, std::string* error) {
  Destroy();
  component_ = component;
  if (component_ == nullptr) {
    if (error) *error = "no plug-in object";
    return false;
  }
  hostApp_.SetName(hostName);
  if (component_->initialize(&hostApp_) != kResultOk) {
    if (error) *error = "the plug-in refused to initialize";
    Destroy();
    return false;
  }
  initialized_ = true;
  component_->queryInterface(IAudioProcessor::iid, reinterpret_cast<void**>(&processor_));
  component_->queryInterface(IEditController::iid, reinterpret_cast<void**>(&controller_));
  if (processor_ == nullptr) {
    if (error) *error = "the plug-in has no audio processor";
    Destroy();
    return false;
  }
  if (controller_) controller_->setComponentHandler(&handler_);
  return true;
}

bool PluginInstance::Start(double sampleRate, int maxBlock, bool doublePrecision, bool offline) {
  if (processor_ == nullptr || maxBlock <= 0) return false;
  int32 channelsBefore = 0;
  for (MediaType type : {kAudio, kEvent})
    for (BusDirection dir : {kInput, kOutput})
      for (int32 i = 0; i < component_->getBusCount(type, dir); ++i) {
        if (type != kAudio) {
          component_->activateBus(type, dir, i, true);
          continue;
        }
        const bool routed =
            dir == kOutput || i == 0 || routedInputChannels_ < 0 || routedInputChannels_ > channelsBefore;
        if (dir == kInput) channelsBefore += BusChannelCount(component_, kInput, i);
        ActivateBus(dir, i, routed);
      }
  if (SetupProcessing(sampleRate, maxBlock, doublePrecision, offline) != kResultOk) return false;
  if (SetActive(true) != kResultOk) return false;
  SetProcessing(true);  // hosts ignore the answer; many plug-ins answer NotImplemented
  return true;
}

tresult PluginInstance::InitializeAsController() {
  if (controller_ == nullptr) return kNoInterface;
  initializedAsController_ = true;
  return controller_->initialize(&hostApp_);
}

tresult PluginInstance::ActivateBus(BusDirection direction, int32 index, bool state) {
  if (component_ == nullptr) return kNotInitialized;
  const tresult result = component_->activateBus(kAudio, direction, index, state);
  std::vector<bool>& active = direction == kInput ? activeInputs_ : activeOutputs_;
  if (index >= 0 && result == kResultOk) {
    if (active.size() <= static_cast<size_t>(index)) active.resize(static_cast<size_t>(index) + 1, false);
    active[static_cast<size_t>(index)] = state;
  }
  return result;
}

tresult PluginInstance::SetBusArrangements(std::vector<SpeakerArrangement> inputs,
                                           std::vector<SpeakerArrangement> outputs) {
  if (processor_ == nullptr) return kNotInitialized;
  const tresult result = processor_->setBusArrangements(inputs.data(), static_cast<int32>(inputs.size()),
                                                        outputs.data(), static_cast<int32>(outputs.size()));
  PrepareBuses();  // an accepted request may have rebuilt the buses
  return result;
}

tresult PluginInstance::SetupProcessing(double sampleRate, int maxBlock, bool doublePrecision, bool offline) {
  if (processor_ == nullptr) return kNotInitialized;
  ProcessSetup setup{};
  setup.processMode = offline ? kOffline : kRealtime;
  setup.symbolicSampleSize = doublePrecision ? kSample64 : kSample32;
  setup.maxSamplesPerBlock = maxBlock;
  setup.sampleRate = sampleRate;
  const tresult result = processor_->setupProcessing(setup);
  if (result != kResultOk) return result;
  maxBlock_ = std::max(maxBlock, 1);
  processMode_ = setup.processMode;
  PrepareBuses();
  return result;
}

tresult PluginInstance::SetActive(bool state) {
  if (component_ == nullptr) return kNotInitialized;
  const tresult result = component_->setActive(state);
  active_ = state && result == kResultOk;
  if (!state) processing_ = false;
  return result;
}

tresult PluginInstance::SetProcessing(bool state) {
  if (processor_ == nullptr) return kNotInitialized;
  processing_ = state;
  return processor_->setProcessing(state);
}

bool PluginInstance::HostActivatedBus(BusDirection direction, int32 index) const {
  const std::vector<bool>& active = direction == kInput ? activeInputs_ : activeOutputs_;
  return index >= 0 && static_cast<size_t>(index) < active.size() && active[static_cast<size_t>(index)];
}

void PluginInstance::PassBusChannels(BusDirection direction, int32 bus, int32 channels) {
  std::erase_if(channelOverrides_, [&](const ChannelOverride& o) { return o.direction == direction && o.bus == bus; });
  if (channels >= 0) channelOverrides_.push_back({direction, bus, channels});
  if (component_ != nullptr) PrepareBuses();
}

int32 PluginInstance::ChannelsPassed(BusDirection direction, int32 bus) const {
  for (const ChannelOverride& o : channelOverrides_)
    if (o.direction == direction && o.bus == bus) return o.channels;
  return BusChannelCount(component_, direction, bus);
}

void PluginInstance::PrepareBuses() {
  for (auto [dir, bufs] : {std::pair<BusDirection, BusBuffers*>{kInput, &in_}, {kOutput, &out_}}) {
    int32 count = component_->getBusCount(kAudio, dir);
    bufs->buses.assign(static_cast<size_t>(count), AudioBusBuffers{});
    bufs->channelPointers.assign(static_cast<size_t>(count), {});
    bufs->scratch.clear();
    for (int32 b = 0; b < count; ++b) {
      BusInfo info{};
      component_->getBusInfo(kAudio, dir, b, info);
      const int32 channels = std::max(ChannelsPassed(dir, b), 0);
      bufs->channelPointers[static_cast<size_t>(b)].assign(static_cast<size_t>(channels), nullptr);
      bufs->buses[static_cast<size_t>(b)].numChannels = channels;
      for (int32 c = 0; c < channels; ++c) bufs->scratch.emplace_back(static_cast<size_t>(maxBlock_), 0.0);
    }
  }
}

template <typename Sample>
tresult PluginInstance::RunProcess(const std::vector<Sample*>& inputs, const std::vector<Sample*>& outputs, int frames,
                                   const ProcessContext* context) {
  if (!active_) return kNotInitialized;
  // A call may be longer than the block size the plug-in was set up with (hosts do that);
  // the host's own scratch grows here, before the guard is armed.
  const size_t scratchFrames = static_cast<size_t>(std::max(frames, maxBlock_));
  for (BusBuffers* bufs : {&in_, &out_})
    for (auto& channel : bufs->scratch)
      if (channel.size() < scratchFrames) channel.resize(scratchFrames);
  // Every channel the caller does not supply reads silence (inputs) or goes to scratch (outputs).
  for (BusBuffers* bufs : {&in_, &out_}) {
    const std::vector<Sample*>& given = bufs == &in_ ? inputs : outputs;
    size_t channel = 0;  // across the buses, in order
    for (size_t b = 0; b < bufs->buses.size(); ++b) {
      auto& pointers = bufs->channelPointers[b];
      uint64 silence = 0;  // hosts flag the input channels they fill with silence
      for (size_t c = 0; c < pointers.size(); ++c, ++channel) {
        void* scratch = bufs->scratch[channel].data();
        if (channel < given.size() && given[channel] != nullptr) {
          pointers[c] = given[channel];
        } else {
          std::memset(scratch, 0, sizeof(double) * scratchFrames);
          pointers[c] = scratch;
          if (bufs == &in_ && c < 64) silence |= uint64{1} << c;
        }
      }
      bufs->buses[b].silenceFlags = silence;
      Sample** channels = pointers.empty() ? nullptr : reinterpret_cast<Sample**>(pointers.data());
      if constexpr (sizeof(Sample) == 4)
        bufs->buses[b].channelBuffers32 = channels;
      else
        bufs->buses[b].channelBuffers64 = channels;
    }
  }
  ProcessData data{};
  data.processMode = processMode_;
  data.symbolicSampleSize = sizeof(Sample) == 4 ? kSample32 : kSample64;
  data.numSamples = frames;
  data.numInputs = static_cast<int32>(in_.buses.size());
  data.numOutputs = static_cast<int32>(out_.buses.size());
  data.inputs = in_.buses.empty() ? nullptr : in_.buses.data();
  data.outputs = out_.buses.empty() ? nullptr : out_.buses.data();
  data.inputParameterChanges = &inputChanges_;
  data.outputParameterChanges = &outputChanges_;
  data.inputEvents = &inputEvents_;
  data.outputEvents = &outputEvents_;
  data.processContext = const_cast<ProcessContext*>(context);
  tresult result;
  if (countAllocations_) {
    AllocationGuard guard;
    result = processor_->process(data);
    processAllocations_ += guard.Count();
  } else {
    result = processor_->process(data);
  }
  inputChanges_.Clear();
  outputChanges_.Clear();
  inputEvents_.Clear();
  return result;
}

tresult PluginInstance::Process(const std::vector<float*>& inputs, const std::vector<float*>& outputs, int frames,
                                const ProcessContext* context) {
  return RunProcess(inputs, outputs, frames, context);
}

tresult PluginInstance::Process64(const std::vector<double*>& inputs, const std::vector<double*>& outputs, int frames,
                                  const ProcessContext* context) {
  return RunProcess(inputs, outputs, frames, context);
}

bool PluginInstance::FindParameter(const std::string& idOrTitle, ParamID* id) const {
  for (const ParameterInfo& info : ParameterInfos(controller_)) {
    if (std::to_string(info.id) == idOrTitle || Utf16ToUtf8(info.title, 128) == idOrTitle) {
      *id = info.id;
      return true;
    }
  }
  return false;
}

bool PluginInstance::OfferRunLoop(RunLoopOffer where) {
  Destroy();
  hostApp_.Offer(nullptr);
  frame_.Offer(nullptr);
  runLoop_.reset();
  if (where == RunLoopOffer::None) return true;
  runLoop_ = MakeRunLoop();
  if (runLoop_ == nullptr) return false;
  if (where == RunLoopOffer::HostContext)
    hostApp_.Offer(runLoop_->Interface());
  else
    frame_.Offer(runLoop_->Interface());
  return true;
}

void PluginInstance::PumpUiLoop() {
  if (runLoop_ != nullptr) return runLoop_->RunDue();
  plugkit::platform::PumpUiLoop();
  if (module_ != nullptr) module_->PumpUiLoop();
}

void PluginInstance::RunUiLoopFor(uint32_t milliseconds) {
  if (runLoop_ != nullptr) return runLoop_->RunFor(milliseconds);
  constexpr uint32_t kSlice = 5;
  for (uint32_t done = 0; done < milliseconds; done += kSlice) {
    plugkit::platform::RunUiLoopFor(std::min(kSlice, milliseconds - done));
    if (module_ != nullptr) module_->PumpUiLoop();
  }
}

bool PluginInstance::SaveState(std::vector<uint8_t>* chunk) {
  MemoryStream stream;
  if (component_ == nullptr || component_->getState(&stream) != kResultOk) return false;
  *chunk = stream.Bytes();
  return true;
}

bool PluginInstance::LoadState(const std::vector<uint8_t>& chunk) {
  if (component_ == nullptr) return false;
  MemoryStream stream(chunk);
  if (component_->setState(&stream) != kResultOk) return false;
  // A single-component plug-in shares its state with the controller side.
  return true;
}

bool PluginInstance::OpenEditor() {
  CloseEditor();
  if (controller_ == nullptr) return false;
  view_ = controller_->createView(ViewType::kEditor);
  if (view_ == nullptr) return false;
  ViewRect size{};
  view_->getSize(&size);
  window_ = plugkit::platform::CreateHostWindow(std::max(1, size.getWidth()), std::max(1, size.getHeight()));
  view_->setFrame(&frame_);
  if (window_ == nullptr || view_->isPlatformTypeSupported(plugkit::platform::kViewPlatformType) != kResultTrue ||
      view_->attached(window_, plugkit::platform::kViewPlatformType) != kResultOk) {
    CloseEditor();
    return false;
  }
  return true;
}

void PluginInstance::CloseEditor() {
  if (view_) {
    view_->removed();
    view_->setFrame(nullptr);
    view_->release();
  }
  view_ = nullptr;
  plugkit::platform::DestroyHostWindow(window_);
  window_ = nullptr;
}

void PluginInstance::Stop() {
  if (processing_ && processor_) processor_->setProcessing(false);
  processing_ = false;
  if (active_ && component_) component_->setActive(false);
  active_ = false;
}

std::vector<tresult> PluginInstance::Terminate() {
  std::vector<tresult> results;
  if (initializedAsController_ && controller_) results.push_back(controller_->terminate());
  if (initialized_ && component_) results.push_back(component_->terminate());
  initialized_ = false;
  initializedAsController_ = false;
  return results;
}

void PluginInstance::Destroy() {
  CloseEditor();
  Stop();
  if (controller_) controller_->setComponentHandler(nullptr);
  Terminate();
  ReleaseAndClear(controller_);
  ReleaseAndClear(processor_);
  ReleaseAndClear(component_);
  module_ = nullptr;
}

}  // namespace tarnwell::host
