// Builds what a VST 3 host sees of a plug-in's parameters when the component is initialised:
// the bypass switch, a unit per parameter group, one parameter object per IParam and, for
// plug-ins that take MIDI, the controller pseudo-parameters of channel 0.
#pragma once

#include <span>

#include "framework/core/param.h"
#include "framework/vst3/parameter.h"
#include "public.sdk/source/vst/vsteditcontroller.h"

namespace plugkit {

struct ParameterExportResult {
  bool complete = false;                         // false: memory ran out and nothing is registered
  IPluginVST3BypassParameter* bypass = nullptr;  // owned by the container; null for instruments
};

// Registers everything in controller's unit list and in parameters (the controller's own
// container). The groups are listed afresh on every call, so that a second export after
// terminate registers its units again. UI thread.
ParameterExportResult ExportParameters(Steinberg::Vst::EditControllerEx1& controller,
                                       Steinberg::Vst::ParameterContainer& parameters,
                                       std::span<const IParam* const> params, bool isInstrument, bool takesMidi);

}  // namespace plugkit
