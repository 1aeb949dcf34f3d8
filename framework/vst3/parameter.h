// The parameter objects a VST 3 host sees: one per IParam (same id as its index, texts and
// conversions from the IParam), and the bypass switch.
#pragma once

#include "base/source/fobject.h"
#include "framework/core/param.h"
#include "public.sdk/source/vst/vstparameters.h"

namespace plugkit {

class IPluginVST3Parameter : public Steinberg::Vst::Parameter {
 public:
  // param must outlive this object (the plug-in owns both; the IParam is destroyed last).
  IPluginVST3Parameter(const IParam& param, Steinberg::Vst::ParamID id, Steinberg::Vst::UnitID unit);
  ~IPluginVST3Parameter() override;

  const IParam& Param() const noexcept { return param_; }

  // The IParam's text for the value with display texts, widened; at most 127 characters.
  void toString(Steinberg::Vst::ParamValue normalised, Steinberg::Vst::String128 string) const override;
  // The IParam's reading of the text, normalised. Only a null text is refused.
  bool fromString(const Steinberg::Vst::TChar* string, Steinberg::Vst::ParamValue& normalised) const override;
  Steinberg::Vst::ParamValue toPlain(Steinberg::Vst::ParamValue normalised) const override;
  Steinberg::Vst::ParamValue toNormalized(Steinberg::Vst::ParamValue plain) const override;

  OBJ_METHODS(IPluginVST3Parameter, Parameter)

 private:
  const IParam& param_;
};

// "Bypass" with the items "off" and "on", flagged as the host's bypass switch.
class IPluginVST3BypassParameter : public Steinberg::Vst::StringListParameter {
 public:
  IPluginVST3BypassParameter();
  ~IPluginVST3BypassParameter() override;

  // The list's conversions index their items with the value; hosts may pass anything.
  void toString(Steinberg::Vst::ParamValue normalised, Steinberg::Vst::String128 string) const override;
  bool fromString(const Steinberg::Vst::TChar* string, Steinberg::Vst::ParamValue& normalised) const override;

  OBJ_METHODS(IPluginVST3BypassParameter, StringListParameter)
};

}  // namespace plugkit
