#include "framework/vst3/plugin.h"

#include <algorithm>
#include <bit>
#include <cmath>
#include <cstring>
#include <utility>
#include <vector>

#include "framework/core/grow_string.h"
#include "framework/core/state_blob.h"
#include "framework/vst3/host_run_loop.h"
#include "framework/vst3/ids.h"
#include "framework/vst3/midi_controllers.h"
#include "framework/vst3/parameter_export.h"
#include "framework/vst3/text.h"
#include "framework/vst3/view.h"
#include "platform/thread_identity.h"
#include "platform/view_platform_type.h"
#include "pluginterfaces/base/ibstream.h"
#include "pluginterfaces/vst/ivsthostapplication.h"
#include "webview/browser_runtime.h"

namespace plugkit {

using namespace Steinberg;
using namespace Steinberg::Vst;

namespace {

// Hosts whose bus arrangement requests are all taken as they come, and the host whose
// streams report failures on reads that still deliver their bytes.
constexpr HostId kArrangementsAsGivenHosts[] = {28, 45};
constexpr HostId kLenientStreamHost = 31;
constexpr int32 kStateReadPiece = 128;
constexpr uint32 kInfiniteTailSamples = 0xFFFFFFFFu;
constexpr int32_t kEndlessTail = 0x7FFFFFFF;

SpeakerArrangement ArrangementFor(int32_t channels) {
  switch (channels) {
    case 1:
      return 0x80000;
    case 2:
      return 0x3;
    case 3:
      return 0x7;
    case 4:
      return 0xF00000;
    case 5:
      return 0x37;
    case 6:
      return 0x3F;
    case 7:
      return 0xF7;
    case 8:
      return 0x63F;
    case 9:
      return 0x7C000F00000;
    case 10:
      return 0x300063F;
    case 16:
      return 0x3FFC000F00000;
    default:
      return 0;
  }
}

// NaN counts as 0; the SDK's parameter objects only limit values to 0..1.
ParamValue LimitNormalised(ParamValue value) { return value >= 0.0 ? std::min(value, 1.0) : 0.0; }

bool WriteAll(IBStream* stream, const void* bytes, int32 size) {
  if (size == 0) return true;
  int32 written = 0;
  return stream->write(const_cast<void*>(bytes), size, &written) == kResultOk && written == size;
}

}  // namespace

IPluginVST3::IPluginVST3(const PluginSetup& setup)
    : IPluginAPIBase(setup), IPluginVST3ProcessorBase(setup, *this), uiThread_(platform::CurrentThreadId()) {
  StartIdleTimer();
}

IPluginVST3::~IPluginVST3() {
  StopIdleTimer();
  DriveIdleTimerFrom(nullptr);  // the halted timer stays halted; the loop is forgotten
}

// --- Initialisation.

tresult PLUGIN_API IPluginVST3::initialize(FUnknown* context) {
  // The SDK refuses a second initialize only when the first one brought a host context.
  if (initialized_ || SingleComponentEffect::initialize(context) != kResultOk) return kResultFalse;
  initialized_ = true;
  try {
    SetUpBuses();
  } catch (const std::bad_alloc&) {
    return kOutOfMemory;
  }
  const ParameterExportResult exported =
      ExportParameters(*this, parameters, std::span<const IParam* const>(Params(), static_cast<size_t>(NParams())),
                       Kind() == PluginKind::Instrument, TakesMidi());
  bypassParameter_ = exported.bypass;
  if (!exported.complete) return kOutOfMemory;
  if (GetHostId() == kHostNotIdentified) IdentifyHostFrom(context);
  OnHostKnown();
  NotifyAllParamsChanged(ParamChangeOrigin::Reset);
  contextRunLoop_ = FindHostRunLoop(context);
  DriveIdleTimerFromHost();
  return kResultOk;
}

void IPluginVST3::DriveIdleTimerFromHost() noexcept {
  DriveIdleTimerFrom(contextRunLoop_ != nullptr ? contextRunLoop_.get() : frameRunLoop_);
}

void IPluginVST3::UseFrameRunLoop(TimerLoop* loop) noexcept {
  frameRunLoop_ = loop;
  DriveIdleTimerFromHost();
}

void IPluginVST3::ForgetFrameRunLoop(const TimerLoop* loop) noexcept {
  if (frameRunLoop_ != loop) return;
  frameRunLoop_ = nullptr;
  DriveIdleTimerFromHost();
}

void IPluginVST3::IdentifyHostFrom(FUnknown* context) {
  IHostApplication* host = nullptr;
  if (context == nullptr ||
      context->queryInterface(IHostApplication::iid, reinterpret_cast<void**>(&host)) != kResultOk || host == nullptr)
    return;
  String128 wide{};
  if (host->getName(wide) != kResultOk) std::memset(wide, 0, sizeof wide);
  host->release();
  char name[128];
  NarrowLowBytes(wide, 128, name, sizeof name);
  SetHost(name, 0);
}

void IPluginVST3::AddAudioBuses(BusDirection direction, int32_t layout) {
  const int32_t count = Layouts().BusCount(layout, direction);
  for (int32_t bus = 0; bus < count; ++bus) {
    GrowString label;
    GetBusLabel(direction, bus, count, label);
    String128 name;
    WidenBytes(name, label.Get());
    const SpeakerArrangement arrangement = ArrangementFor(Layouts().BusChannels(layout, direction, bus));
    const BusType type = bus == 0 ? kMain : kAux;
    const int32 flags = bus == 0 ? BusInfo::kDefaultActive : 0;
    if (direction == BusDirection::Input)
      addAudioInput(name, arrangement, type, flags);
    else
      addAudioOutput(name, arrangement, type, flags);
  }
}

void IPluginVST3::SetUpBuses() {
  int32_t inputLayout = 0, outputLayout = 0;
  MaxNBuses(BusDirection::Input, &inputLayout);
  const int32_t outputs = MaxNBuses(BusDirection::Output, &outputLayout);
  AddAudioBuses(BusDirection::Input, inputLayout);
  AddAudioBuses(BusDirection::Output, outputLayout);
  if (Kind() == PluginKind::MidiEffect && outputs == 0) addAudioOutput(STR16("Dummy Output"), 0, kMain, 0);
  if (TakesMidi()) addEventInput(STR16("MIDI Input"), 1, kMain, BusInfo::kDefaultActive);
  if (EmitsMidi()) addEventOutput(STR16("MIDI Output"), 1, kMain, BusInfo::kDefaultActive);
}

tresult PLUGIN_API IPluginVST3::terminate() {
  // The host context and its run loop are the host's only until terminate.
  std::unique_ptr<TimerLoop> leaving = std::exchange(contextRunLoop_, nullptr);
  DriveIdleTimerFromHost();
  leaving.reset();
  // The container releases the bypass object; a later initialize makes a new one.
  bypassParameter_ = nullptr;
  initialized_ = false;
  return SingleComponentEffect::terminate();
}

tresult PLUGIN_API IPluginVST3::setActive(TBool state) {
  OnActivationChanged(state != 0);
  return kResultOk;
}

// --- Buses.

tresult PLUGIN_API IPluginVST3::setBusArrangements(SpeakerArrangement* inputs, int32 numIns,
                                                   SpeakerArrangement* outputs, int32 numOuts) {
  for (HostId host : kArrangementsAsGivenHosts)
    if (GetHostId() == host) return kResultOk;
  if (numIns < 0 || numOuts < 0 || (numIns > 0 && inputs == nullptr) || (numOuts > 0 && outputs == nullptr))
    return kInvalidArgument;
  SetChannelConnections(BusDirection::Input, 0, NChannels(BusDirection::Input), false);
  SetChannelConnections(BusDirection::Output, 0, NChannels(BusDirection::Output), false);
  if (numIns > MaxNBuses(BusDirection::Input) || numOuts > MaxNBuses(BusDirection::Output)) return kResultFalse;
  try {
    std::vector<int32_t> inChannels, outChannels;
    for (int32 i = 0; i < numIns; ++i) inChannels.push_back(std::popcount(static_cast<uint64>(inputs[i])));
    for (int32 i = 0; i < numOuts; ++i) outChannels.push_back(std::popcount(static_cast<uint64>(outputs[i])));
    const int32_t layout = FindChannelLayout(inChannels, outChannels);
    if (layout < 0) return kResultFalse;
    // The rebuilt buses keep the activation the host gave the buses at their index.
    std::vector<bool> inActive, outActive;
    for (auto& bus : audioInputs) inActive.push_back(bus->isActive());
    for (auto& bus : audioOutputs) outActive.push_back(bus->isActive());
    removeAudioBusses();
    AddAudioBuses(BusDirection::Input, layout);
    AddAudioBuses(BusDirection::Output, layout);
    for (size_t i = 0; i < audioInputs.size() && i < inActive.size(); ++i) audioInputs[i]->setActive(inActive[i]);
    for (size_t i = 0; i < audioOutputs.size() && i < outActive.size(); ++i) audioOutputs[i]->setActive(outActive[i]);
  } catch (const std::bad_alloc&) {
    return kOutOfMemory;
  }
  return kResultOk;
}

int32_t IPluginVST3::DeclaredAudioBusCount(BusDirection direction) const noexcept {
  return static_cast<int32_t>(direction == BusDirection::Input ? audioInputs.size() : audioOutputs.size());
}

bool IPluginVST3::IsAudioBusActive(BusDirection direction, int32_t bus) const noexcept {
  const BusList& list = direction == BusDirection::Input ? audioInputs : audioOutputs;
  return bus >= 0 && static_cast<size_t>(bus) < list.size() && list[static_cast<size_t>(bus)]->isActive();
}

// --- State.

tresult PLUGIN_API IPluginVST3::getState(IBStream* stream) {
  if (stream == nullptr) return kInvalidArgument;
  StateBlob blob;
  if (!SaveState(blob)) return kResultFalse;
  const int32 bypass = BypassForState() ? 1 : 0;
  if (!WriteAll(stream, blob.Data(), blob.Size()) || !WriteAll(stream, &bypass, sizeof bypass)) return kResultFalse;
  return kResultOk;
}

tresult PLUGIN_API IPluginVST3::setState(IBStream* stream) {
  if (stream == nullptr) return kInvalidArgument;
  int64 start = 0;
  if (stream->tell(&start) != kResultOk || start < 0) start = 0;

  StateBlob blob;
  const bool lenient = GetHostId() == kLenientStreamHost;
  for (;;) {
    char piece[kStateReadPiece];
    int32 got = 0;
    const tresult result = stream->read(piece, kStateReadPiece, &got);
    if (got <= 0 || (result != kResultOk && !lenient)) break;
    if (!blob.Put(piece, std::min(got, kStateReadPiece))) break;
  }

  const int32_t pos = LoadState(blob, 0);
  if (pos < 0) return kResultFalse;
  const bool bypassFollows = LoadedStateEndsAtBypass();
  int32 bypass = 0;
  if (bypassFollows) {
    int32 got = 0;
    if (stream->seek(start + pos, IBStream::kIBSeekSet, nullptr) != kResultOk) return kResultFalse;
    const tresult flagRead = stream->read(&bypass, sizeof bypass, &got);
    if ((flagRead != kResultOk && !lenient) || got != static_cast<int32>(sizeof bypass)) return kResultFalse;
  }

  for (int32_t i = 0; i < NParams(); ++i) MirrorParamValueToHost(i, GetParam(i)->NormaliseValue(GetParam(i)->Value()));
  if (bypassFollows) {
    if (bypassParameter_ != nullptr) bypassParameter_->setNormalized(static_cast<ParamValue>(bypass));
    HoldRestoredBypass(bypass != 0);
  }
  OnStateRestored();
  return kResultOk;
}

// --- Processing.

tresult PLUGIN_API IPluginVST3::canProcessSampleSize(int32 symbolicSampleSize) {
  return CanProcessSampleSize(symbolicSampleSize);
}

tresult PLUGIN_API IPluginVST3::setupProcessing(ProcessSetup& setup) {
  const tresult result = SetupProcessing(setup);
  if (result == kResultOk) processSetup = setup;
  return result;
}

tresult PLUGIN_API IPluginVST3::setProcessing(TBool state) { return SetProcessing(state != 0); }

tresult PLUGIN_API IPluginVST3::process(ProcessData& data) { return Process(data); }

uint32 PLUGIN_API IPluginVST3::getLatencySamples() { return static_cast<uint32>(LatencySamples()); }

uint32 PLUGIN_API IPluginVST3::getTailSamples() {
  const int32_t tail = TailLength();
  return tail == kEndlessTail ? kInfiniteTailSamples : static_cast<uint32>(tail);
}

void IPluginVST3::OnHostParamChange(int32_t index, int32_t sampleOffset) noexcept {
  OnParamChange(index, ParamChangeOrigin::Host, sampleOffset);
}

void IPluginVST3::SetLatencySamples(int32_t samples) noexcept {
  IPluginProcessor::SetLatencySamples(samples);
  // Inside a process call the host's handler must not be called, whichever thread runs it.
  if (platform::CurrentThreadId() == uiThread_ && !IsInProcessCallOnThisThread())
    RestartForLatency();
  else
    latencyRestartPending_.store(true, std::memory_order_release);
}

void IPluginVST3::DeliverDeferredHostNotifications() {
  if (latencyRestartPending_.exchange(false, std::memory_order_acq_rel)) RestartForLatency();
}

void IPluginVST3::RestartForLatency() {
  if (componentHandler != nullptr) componentHandler->restartComponent(kLatencyChanged);
}

// --- Parameters.

tresult PLUGIN_API IPluginVST3::getParameterInfo(int32 paramIndex, ParameterInfo& info) {
  if (paramIndex < 0 || paramIndex >= getParameterCount()) return kResultFalse;
  return SingleComponentEffect::getParameterInfo(paramIndex, info);
}

tresult PLUGIN_API IPluginVST3::getParamStringByValue(ParamID id, ParamValue value, String128 string) {
  if (string == nullptr) return kInvalidArgument;
  return SingleComponentEffect::getParamStringByValue(id, value, string);
}

tresult PLUGIN_API IPluginVST3::getParamValueByString(ParamID id, TChar* string, ParamValue& value) {
  if (string == nullptr) return kInvalidArgument;
  return SingleComponentEffect::getParamValueByString(id, string, value);
}

tresult PLUGIN_API IPluginVST3::setParamNormalized(ParamID id, ParamValue value) {
  Parameter* object = parameters.getParameter(id);
  if (object == nullptr) return kResultFalse;
  if (std::isnan(value)) return kInvalidArgument;
  object->setNormalized(value);
  if (id < kBypassParamId) {
    if (IParam* param = GetParam(static_cast<int32_t>(id))) {
      const auto index = static_cast<int32_t>(id);
      param->SetNormalised(object->getNormalized());
      OnUIParamChanged(index, ParamChangeOrigin::Host);
      SendParamValueToUI(index, object->getNormalized(), true);
    }
  }
  return kResultOk;
}

void IPluginVST3::BeginParamGestureToHost(int32_t paramIdx) { beginEdit(static_cast<ParamID>(paramIdx)); }

void IPluginVST3::EndParamGestureToHost(int32_t paramIdx) { endEdit(static_cast<ParamID>(paramIdx)); }

void IPluginVST3::SendParamValueToHost(int32_t paramIdx, double normalised) {
  performEdit(static_cast<ParamID>(paramIdx), normalised);
}

void IPluginVST3::MirrorParamValueToHost(int32_t paramIdx, double normalised) {
  if (Parameter* object = parameters.getParameter(static_cast<ParamID>(paramIdx))) object->setNormalized(normalised);
}

void IPluginVST3::SetParamValueFromUI(int32_t paramIdx, double normalised) {
  if (Parameter* object = parameters.getParameter(static_cast<ParamID>(paramIdx)))
    object->setNormalized(LimitNormalised(normalised));
  IPluginAPIBase::SetParamValueFromUI(paramIdx, normalised);
}

// --- Units, programs, MIDI mapping, channel context.

tresult PLUGIN_API IPluginVST3::getUnitInfo(int32 unitIndex, UnitInfo& info) {
  if (unitIndex < 0 || unitIndex >= getUnitCount()) return kResultFalse;
  return SingleComponentEffect::getUnitInfo(unitIndex, info);
}

tresult PLUGIN_API IPluginVST3::getProgramName(ProgramListID listId, int32 programIndex, String128 name) {
  if (name == nullptr) return kInvalidArgument;
  if (listId != kProgramListId || programIndex < 0 || programIndex >= PresetCount()) return kResultFalse;
  WidenBytes(name, 128, PresetNameAt(programIndex));
  return kResultOk;
}

tresult PLUGIN_API IPluginVST3::getMidiControllerAssignment(int32 busIndex, int16 channel,
                                                            CtrlNumber midiControllerNumber, ParamID& id) {
  uint32_t mapped = 0;
  if (!MidiControllerParamId(busIndex, channel, midiControllerNumber, mapped)) return kResultFalse;
  id = mapped;
  return kResultOk;
}

tresult PLUGIN_API IPluginVST3::setChannelContextInfos(IAttributeList* list) {
  return list == nullptr ? kResultFalse : kResultOk;
}

// --- Editor.

bool IPluginVST3::OffersEditorView() const noexcept {
  return HasEditor() && (platform::kViewWithoutBrowserLoader || webview::CurrentBrowserRuntime().LoaderFound());
}

IPlugView* PLUGIN_API IPluginVST3::createView(FIDString name) {
  if (!OffersEditorView() || name == nullptr || std::strcmp(name, ViewType::kEditor) != 0) return nullptr;
  auto* view = new IPluginVST3View(*this);
  currentView_ = view;
  return view;
}

void IPluginVST3::ForgetView(const IPluginVST3View* view) noexcept {
  if (currentView_ == view) currentView_ = nullptr;
}

bool IPluginVST3::ResizeHostView(int32_t width, int32_t height, bool) {
  if (!HasEditor()) return true;
  if ((width != EditorWidth() || height != EditorHeight()) && currentView_ != nullptr)
    currentView_->AskFrameToResize(width, height);
  SetEditorSize(width, height);
  return true;
}

// --- Interfaces.

tresult PLUGIN_API IPluginVST3::queryInterface(const TUID iid, void** obj) {
  QUERY_INTERFACE(iid, obj, IMidiMapping::iid, IMidiMapping)
  QUERY_INTERFACE(iid, obj, ChannelContext::IInfoListener::iid, ChannelContext::IInfoListener)
  return SingleComponentEffect::queryInterface(iid, obj);
}

}  // namespace plugkit
