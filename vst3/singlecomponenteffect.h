//-----------------------------------------------------------------------------
// A plug-in whose processor and edit controller are one object. The installed SDK
// subset has EditControllerEx1 but not this class, so it is written here in the SDK's
// idiom and can be replaced by the official file when building against a full SDK.
//-----------------------------------------------------------------------------
#pragma once

#include "public.sdk/source/vst/vstbus.h"
#include "public.sdk/source/vst/vsteditcontroller.h"
#include "pluginterfaces/vst/ivstaudioprocessor.h"
#include "pluginterfaces/vst/ivstcomponent.h"

namespace Steinberg {
namespace Vst {

class SingleComponentEffect : public EditControllerEx1,
                              public IComponent,
                              public IAudioProcessor,
                              public IProcessContextRequirements {
 public:
  SingleComponentEffect();
  ~SingleComponentEffect() override;

  //---Internal methods-------
  AudioBus* addAudioInput(const TChar* name, SpeakerArrangement arr, BusType busType = kMain,
                          int32 flags = BusInfo::kDefaultActive);
  AudioBus* addAudioOutput(const TChar* name, SpeakerArrangement arr, BusType busType = kMain,
                           int32 flags = BusInfo::kDefaultActive);
  EventBus* addEventInput(const TChar* name, int32 channels = 16, BusType busType = kMain,
                          int32 flags = BusInfo::kDefaultActive);
  EventBus* addEventOutput(const TChar* name, int32 channels = 16, BusType busType = kMain,
                           int32 flags = BusInfo::kDefaultActive);
  tresult removeAudioBusses();
  tresult removeEventBusses();
  BusList* getBusList(MediaType type, BusDirection dir);

  //---from IPluginBase---------
  tresult PLUGIN_API initialize(FUnknown* context) SMTG_OVERRIDE;
  tresult PLUGIN_API terminate() SMTG_OVERRIDE;

  //---from IComponent----------
  tresult PLUGIN_API getControllerClassId(TUID classID) SMTG_OVERRIDE;
  tresult PLUGIN_API setIoMode(IoMode mode) SMTG_OVERRIDE;
  int32 PLUGIN_API getBusCount(MediaType type, BusDirection dir) SMTG_OVERRIDE;
  tresult PLUGIN_API getBusInfo(MediaType type, BusDirection dir, int32 index, BusInfo& info) SMTG_OVERRIDE;
  tresult PLUGIN_API getRoutingInfo(RoutingInfo& inInfo, RoutingInfo& outInfo) SMTG_OVERRIDE;
  tresult PLUGIN_API activateBus(MediaType type, BusDirection dir, int32 index, TBool state) SMTG_OVERRIDE;
  tresult PLUGIN_API setActive(TBool state) SMTG_OVERRIDE;
  tresult PLUGIN_API setState(IBStream* state) SMTG_OVERRIDE;
  tresult PLUGIN_API getState(IBStream* state) SMTG_OVERRIDE;

  //---from IAudioProcessor-----
  tresult PLUGIN_API setBusArrangements(SpeakerArrangement* inputs, int32 numIns, SpeakerArrangement* outputs,
                                        int32 numOuts) SMTG_OVERRIDE;
  tresult PLUGIN_API getBusArrangement(BusDirection dir, int32 index, SpeakerArrangement& arr) SMTG_OVERRIDE;
  tresult PLUGIN_API canProcessSampleSize(int32 symbolicSampleSize) SMTG_OVERRIDE;
  uint32 PLUGIN_API getLatencySamples() SMTG_OVERRIDE { return 0; }
  tresult PLUGIN_API setupProcessing(ProcessSetup& setup) SMTG_OVERRIDE;
  tresult PLUGIN_API setProcessing(TBool state) SMTG_OVERRIDE;
  tresult PLUGIN_API process(ProcessData& data) SMTG_OVERRIDE;
  uint32 PLUGIN_API getTailSamples() SMTG_OVERRIDE { return kNoTail; }

  //---from IProcessContextRequirements---
  uint32 PLUGIN_API getProcessContextRequirements() SMTG_OVERRIDE { return 0; }

  //---Interface---------
  OBJ_METHODS(SingleComponentEffect, EditControllerEx1)
  tresult PLUGIN_API queryInterface(const TUID iid, void** obj) SMTG_OVERRIDE;
  REFCOUNT_METHODS(EditControllerEx1)

 protected:
  ProcessSetup processSetup;

  BusList audioInputs;
  BusList audioOutputs;
  BusList eventInputs;
  BusList eventOutputs;

  tresult removeAllBusses();
};

}  // namespace Vst
}  // namespace Steinberg
