// IPluginVST3: the base of every plug-in class. It joins the framework's plug-in bases to
// the SDK's single-object effect (component, audio processor and edit controller in one)
// and answers the host's component and controller calls: initialisation, buses and
// speaker arrangements, activation, state, latency and tail, units and programs, and the
// framework's calls towards the host (gestures, edits, restarts, editor resizes).
//
// Threads: host calls come on the UI thread that constructed the object, apart from the
// processing calls (see IPluginVST3ProcessorBase). A latency change on the audio thread
// reaches the host at the next idle tick, never from the audio thread itself.
//
// Idle timer: where the host offers a run loop (Linux hosts, through the context given to
// initialize or through an attached view's frame) the timer runs from it, the context's
// first; otherwise from the platform's timers. It leaves a loop before the loop is released.
#pragma once

#include <atomic>
#include <cstdint>
#include <memory>

#include "framework/plugin_api_base.h"
#include "framework/plugin_setup.h"
#include "framework/vst3/parameter.h"
#include "framework/vst3/processor.h"
#include "pluginterfaces/vst/ivstchannelcontextinfo.h"
#include "pluginterfaces/vst/ivstmidicontrollers.h"
#include "vst3/singlecomponenteffect.h"

namespace plugkit {

class IPluginVST3View;

class IPluginVST3 : public IPluginAPIBase,
                    public IPluginVST3ProcessorBase,
                    public Steinberg::Vst::SingleComponentEffect,
                    public Steinberg::Vst::IMidiMapping,
                    public Steinberg::Vst::ChannelContext::IInfoListener,
                    private Vst3ProcessorOwner {
 public:
  // Builds the bases from the plug-in class's set-up and starts the idle timer on this
  // (the UI) thread.
  explicit IPluginVST3(const PluginSetup& setup);
  ~IPluginVST3() override;

  // --- IComponent / IPluginBase.
  Steinberg::tresult PLUGIN_API initialize(Steinberg::FUnknown* context) override;
  Steinberg::tresult PLUGIN_API terminate() override;
  Steinberg::tresult PLUGIN_API setActive(Steinberg::TBool state) override;
  // The plug-in's state chunk followed by the 32-bit bypass flag. kResultFalse when the
  // plug-in could not save or the stream did not take every byte.
  Steinberg::tresult PLUGIN_API getState(Steinberg::IBStream* stream) override;
  Steinberg::tresult PLUGIN_API setState(Steinberg::IBStream* stream) override;

  // --- IAudioProcessor.
  Steinberg::tresult PLUGIN_API setBusArrangements(Steinberg::Vst::SpeakerArrangement* inputs, Steinberg::int32 numIns,
                                                   Steinberg::Vst::SpeakerArrangement* outputs,
                                                   Steinberg::int32 numOuts) override;
  Steinberg::tresult PLUGIN_API canProcessSampleSize(Steinberg::int32 symbolicSampleSize) override;
  Steinberg::tresult PLUGIN_API setupProcessing(Steinberg::Vst::ProcessSetup& setup) override;
  Steinberg::tresult PLUGIN_API setProcessing(Steinberg::TBool state) override;
  Steinberg::tresult PLUGIN_API process(Steinberg::Vst::ProcessData& data) override;
  Steinberg::uint32 PLUGIN_API getLatencySamples() override;
  Steinberg::uint32 PLUGIN_API getTailSamples() override;
  Steinberg::uint32 PLUGIN_API getProcessContextRequirements() override { return processContextRequirements_; }

  // --- IEditController: the SDK's answers, with hostile arguments refused.
  Steinberg::tresult PLUGIN_API getParameterInfo(Steinberg::int32 paramIndex,
                                                 Steinberg::Vst::ParameterInfo& info) override;
  Steinberg::tresult PLUGIN_API getParamStringByValue(Steinberg::Vst::ParamID id, Steinberg::Vst::ParamValue value,
                                                      Steinberg::Vst::String128 string) override;
  Steinberg::tresult PLUGIN_API getParamValueByString(Steinberg::Vst::ParamID id, Steinberg::Vst::TChar* string,
                                                      Steinberg::Vst::ParamValue& value) override;
  // Sets the parameter object; for a parameter of the plug-in also its IParam, then tells
  // the plug-in and the page. The audio side hears of it through the host's next block.
  Steinberg::tresult PLUGIN_API setParamNormalized(Steinberg::Vst::ParamID id,
                                                   Steinberg::Vst::ParamValue value) override;
  // Null unless the name is "editor" and the plug-in OffersEditorView.
  Steinberg::IPlugView* PLUGIN_API createView(Steinberg::FIDString name) override;

  // --- IUnitInfo.
  Steinberg::tresult PLUGIN_API getUnitInfo(Steinberg::int32 unitIndex, Steinberg::Vst::UnitInfo& info) override;
  Steinberg::tresult PLUGIN_API getProgramName(Steinberg::Vst::ProgramListID listId, Steinberg::int32 programIndex,
                                               Steinberg::Vst::String128 name) override;

  // --- IMidiMapping, IInfoListener.
  Steinberg::tresult PLUGIN_API getMidiControllerAssignment(Steinberg::int32 busIndex, Steinberg::int16 channel,
                                                            Steinberg::Vst::CtrlNumber midiControllerNumber,
                                                            Steinberg::Vst::ParamID& id) override;
  Steinberg::tresult PLUGIN_API setChannelContextInfos(Steinberg::Vst::IAttributeList* list) override;

  // --- The framework towards the host.
  void BeginParamGestureToHost(int32_t paramIdx) override;
  void EndParamGestureToHost(int32_t paramIdx) override;
  void SendParamValueToHost(int32_t paramIdx, double normalised) override;
  // Sets the parameter object only: the host reads it back, and hears of no edit.
  void MirrorParamValueToHost(int32_t paramIdx, double normalised) override;
  void SetParamValueFromUI(int32_t paramIdx, double normalised) override;
  // Asks the host's frame to resize the open view when the size changes, then keeps the
  // size as the editor size. resizeHost is not looked at here.
  bool ResizeHostView(int32_t width, int32_t height, bool resizeHost) override;
  // Records the latency, then tells the host: at once on the UI thread, at the next idle
  // tick when asked on the audio thread or inside a process call.
  void SetLatencySamples(int32_t samples) noexcept override;
  // Delivers a latency restart asked for on the audio thread; final, so that a plug-in
  // class's idle hook cannot lose it.
  void DeliverDeferredHostNotifications() final;

  // Whether the host is offered an editor view: the plug-in has an editor and, where the
  // platform shows none without a browser, a browser loader can be found.
  bool OffersEditorView() const noexcept;
  // The open view (for ResizeHostView); the view clears it when destroyed.
  IPluginVST3View* CurrentView() const noexcept { return currentView_; }
  void ForgetView(const IPluginVST3View* view) noexcept;
  // The run loop of an attached view's frame, used while the host context gave none. The
  // view owns it and forgets it here before it goes; forgetting another loop does nothing.
  void UseFrameRunLoop(TimerLoop* loop) noexcept;
  void ForgetFrameRunLoop(const TimerLoop* loop) noexcept;
  IPluginVST3BypassParameter* BypassParameter() const noexcept { return bypassParameter_; }

  // --- FUnknown and the SDK's type queries.
  Steinberg::tresult PLUGIN_API queryInterface(const Steinberg::TUID iid, void** obj) override;
  REFCOUNT_METHODS(SingleComponentEffect)
  OBJ_METHODS(IPluginVST3, SingleComponentEffect)

 private:
  // --- Vst3ProcessorOwner (audio thread).
  int32_t ParamCount() const noexcept override { return NParams(); }
  IParam* ParamAt(int32_t index) const noexcept override { return GetParam(index); }
  void OnHostParamChange(int32_t index, int32_t sampleOffset) noexcept override;
  int32_t DeclaredAudioBusCount(BusDirection direction) const noexcept override;
  bool IsAudioBusActive(BusDirection direction, int32_t bus) const noexcept override;
  void QueueMidiForUI(const MidiMessage& message) noexcept override { MidiRingToUI().Push(message); }
  bool TakeMidiFromUI(MidiMessage& message) noexcept override { return MidiRingToProcessor().Pop(message); }
  bool TakeSysExFromUI(SysExRecord& record) noexcept override { return SysExRingToProcessor().Pop(record); }

  void SetUpBuses();
  void AddAudioBuses(BusDirection direction, int32_t layout);
  void IdentifyHostFrom(Steinberg::FUnknown* context);
  void RestartForLatency();
  void DriveIdleTimerFromHost() noexcept;

  bool initialized_ = false;
  IPluginVST3BypassParameter* bypassParameter_ = nullptr;
  IPluginVST3View* currentView_ = nullptr;
  std::unique_ptr<TimerLoop> contextRunLoop_;  // from initialize until terminate
  TimerLoop* frameRunLoop_ = nullptr;
  Steinberg::uint32 processContextRequirements_ = 0;
  uint64_t uiThread_;
  std::atomic<bool> latencyRestartPending_{false};
};

}  // namespace plugkit
