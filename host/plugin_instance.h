// One plug-in instance driven through its VST 3 interfaces as a DAW drives it:
// create, initialize, buses, set-up, activation, process calls, state and view.
#pragma once

#include <memory>
#include <string>
#include <vector>

#include "host/component_handler.h"
#include "host/event_list.h"
#include "host/host_application.h"
#include "host/module.h"
#include "host/parameter_changes.h"
#include "host/plug_frame.h"
#include "host/run_loop.h"
#include "pluginterfaces/gui/iplugview.h"
#include "pluginterfaces/vst/ivstaudioprocessor.h"
#include "pluginterfaces/vst/ivstcomponent.h"
#include "pluginterfaces/vst/ivsteditcontroller.h"
#include "pluginterfaces/vst/ivstprocesscontext.h"

namespace tarnwell::host {

class PluginInstance {
 public:
  PluginInstance() = default;
  ~PluginInstance();
  PluginInstance(const PluginInstance&) = delete;
  PluginInstance& operator=(const PluginInstance&) = delete;

  // Creates the module's first audio effect class and initializes it with a host of the
  // given name; attaches the component handler. False (with *error) on any refusal.
  bool Create(const Module& module, const std::string& hostName, std::string* error);
  // The same for a plug-in object made in this process (fuzzers); takes over the caller's
  // reference. Without a module the UI loop delivers only the host's own timers.
  bool Adopt(Steinberg::Vst::IComponent* component, const std::string& hostName, std::string* error);
  // Activates every bus, sets up processing and starts it.
  bool Start(double sampleRate, int maxBlock, bool doublePrecision = false, bool offline = false);
  // From the next Start on, activates only the input buses that this many channels reach (the
  // main bus always), as a DAW leaves a side-chain off while nothing is routed to it. -1, the
  // default, activates every bus.
  void RouteInputChannels(Steinberg::int32 channels) { routedInputChannels_ = channels; }
  void Stop();

  // The life-cycle steps one at a time, as hosts order them in their own ways (a plug-in
  // scan stops what it never started; a bounce sets up again while inactive). Each answers
  // the plug-in's result.
  // initialize once more, through the controller interface, as hosts that treat the one
  // object as component and controller do; Destroy then terminates twice as well.
  Steinberg::tresult InitializeAsController();
  Steinberg::tresult ActivateBus(Steinberg::Vst::BusDirection direction, Steinberg::int32 index, bool state);
  Steinberg::tresult SetBusArrangements(std::vector<Steinberg::Vst::SpeakerArrangement> inputs,
                                        std::vector<Steinberg::Vst::SpeakerArrangement> outputs);
  Steinberg::tresult SetupProcessing(double sampleRate, int maxBlock, bool doublePrecision = false,
                                     bool offline = false);
  Steinberg::tresult SetActive(bool state);
  Steinberg::tresult SetProcessing(bool state);
  // The host's own record of which audio buses it activated (the plug-in does not tell).
  bool HostActivatedBus(Steinberg::Vst::BusDirection direction, Steinberg::int32 index) const;
  // How many channels process calls hand for an audio bus, whatever the bus reports
  // (0: an empty bus with no channel pointers); -1 goes back to the bus's own count.
  void PassBusChannels(Steinberg::Vst::BusDirection direction, Steinberg::int32 bus, Steinberg::int32 channels);
  // Terminates as often as the plug-in was initialized (controller first) and answers each
  // result; the interfaces stay held until Destroy.
  std::vector<Steinberg::tresult> Terminate();
  // Terminates and releases everything (also done by the destructor).
  void Destroy();

  // Runs one process call on non-interleaved channels. `inputs` fill the input buses in
  // order (the main bus first, then a side-chain), `outputs` the output buses likewise;
  // channels left over get silent scratch buffers, flagged silent. Parameter
  // changes and events set up before the call are passed with it and cleared after it.
  // Returns the plug-in's answer. Counts allocations made during the call (see CountAllocations).
  Steinberg::tresult Process(const std::vector<float*>& inputs, const std::vector<float*>& outputs, int frames,
                             const Steinberg::Vst::ProcessContext* context = nullptr);
  Steinberg::tresult Process64(const std::vector<double*>& inputs, const std::vector<double*>& outputs, int frames,
                               const Steinberg::Vst::ProcessContext* context = nullptr);

  ParameterChanges& InputChanges() { return inputChanges_; }
  EventList& InputEvents() { return inputEvents_; }
  EventList& OutputEvents() { return outputEvents_; }
  uint64_t AllocationsDuringProcess() const { return processAllocations_; }
  // On by default. A timing harness turns it off: in the Windows build the counters are
  // thread-locals the compiler emulates with library calls, which cost more per call than a
  // small block's work, and no DAW counts.
  void CountAllocations(bool on) { countAllocations_ = on; }

  // Looks a parameter up by its id (as decimal text) or its title; false when none matches.
  bool FindParameter(const std::string& idOrTitle, Steinberg::Vst::ParamID* id) const;

  // Opens the editor as a host does: createView("editor"), setFrame, attached to a parent
  // window of the host's. False when the plug-in has no editor or refuses the window.
  bool OpenEditor();
  void CloseEditor();
  Steinberg::IPlugView* Editor() const { return view_; }
  void* ParentWindow() const { return window_; }
  PlugFrame& Frame() { return frame_; }

  // Runs the UI thread's loop for about milliseconds, as a host's message loop runs between
  // its calls: the plug-in's timers fire here, on the thread that created the instance.
  // Without a run loop offered that is the platform's loop and the module's own pump.
  void RunUiLoopFor(uint32_t milliseconds);
  // Delivers what is due now, without waiting.
  void PumpUiLoop();

  // Where this host hands out a run loop of its own, as Linux DAWs do: through the host
  // context given to initialize, or through the frame of an attached editor.
  enum class RunLoopOffer { None, HostContext, Frame };
  // Ends the plug-in held (the loop must outlive it); takes effect from the next Create or
  // Adopt on. With a run loop offered the UI loop runs
  // the plug-in's timers from it and never calls the module's own pump. False where the
  // platform's hosts have no run loop (Windows): nothing is offered then.
  bool OfferRunLoop(RunLoopOffer where);
  // The run loop offered; null while none is.
  RunLoop* OfferedRunLoop() const { return runLoop_.get(); }

  bool SaveState(std::vector<uint8_t>* chunk);
  bool LoadState(const std::vector<uint8_t>& chunk);

  Steinberg::Vst::IComponent* Component() const { return component_; }
  Steinberg::Vst::IAudioProcessor* Processor() const { return processor_; }
  Steinberg::Vst::IEditController* Controller() const { return controller_; }
  HostApplication& Host() { return hostApp_; }
  ComponentHandler& Handler() { return handler_; }

 private:
  template <typename Sample>
  Steinberg::tresult RunProcess(const std::vector<Sample*>& inputs, const std::vector<Sample*>& outputs, int frames,
                                const Steinberg::Vst::ProcessContext* context);
  void PrepareBuses();
  Steinberg::int32 ChannelsPassed(Steinberg::Vst::BusDirection direction, Steinberg::int32 bus) const;

  const Module* module_ = nullptr;
  // Declared before everything the plug-in holds, so that it goes after them.
  std::unique_ptr<RunLoop> runLoop_;
  HostApplication hostApp_;
  ComponentHandler handler_;
  ParameterChanges inputChanges_;
  ParameterChanges outputChanges_;
  EventList inputEvents_;
  EventList outputEvents_;
  Steinberg::Vst::IComponent* component_ = nullptr;
  Steinberg::Vst::IAudioProcessor* processor_ = nullptr;
  Steinberg::Vst::IEditController* controller_ = nullptr;
  Steinberg::IPlugView* view_ = nullptr;
  PlugFrame frame_;
  void* window_ = nullptr;
  bool initialized_ = false;
  bool active_ = false;
  bool processing_ = false;
  bool initializedAsController_ = false;
  int maxBlock_ = 0;
  Steinberg::int32 routedInputChannels_ = -1;
  Steinberg::int32 processMode_ = Steinberg::Vst::kRealtime;
  struct ChannelOverride {
    Steinberg::Vst::BusDirection direction;
    Steinberg::int32 bus;
    Steinberg::int32 channels;
  };
  std::vector<ChannelOverride> channelOverrides_;
  std::vector<bool> activeInputs_;
  std::vector<bool> activeOutputs_;
  uint64_t processAllocations_ = 0;
  bool countAllocations_ = true;

  struct BusBuffers {
    std::vector<Steinberg::Vst::AudioBusBuffers> buses;
    std::vector<std::vector<void*>> channelPointers;
    std::vector<std::vector<double>> scratch;  // silent channels for buses the caller leaves out
  };
  BusBuffers in_;
  BusBuffers out_;
};

}  // namespace tarnwell::host
