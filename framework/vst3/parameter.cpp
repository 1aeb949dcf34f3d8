#include "framework/vst3/parameter.h"

#include <cmath>
#include <new>
#include <string_view>

#include "framework/core/grow_string.h"
#include "framework/vst3/ids.h"
#include "framework/vst3/text.h"
#include "platform/code_page_text.h"

namespace plugkit {

using namespace Steinberg;
using namespace Steinberg::Vst;

namespace {

constexpr int32_t kString128Units = 128;

int32 StepCountOf(const IParam& param) {
  if (param.Type() == ParamType::Double) return 0;
  return static_cast<int32>(param.Max() - param.Min());
}

int32 FlagsOf(const IParam& param) {
  int32 flags = param.HasFlag(ParamFlag::NotAutomatable) ? 0 : ParameterInfo::kCanAutomate;
  if (param.Type() == ParamType::Enum) flags |= ParameterInfo::kIsList;
  return flags;
}

// NaN and values outside 0..1 would index outside an item list.
ParamValue ClampNormalised(ParamValue value) {
  if (!(value >= 0.0)) return 0.0;
  return value > 1.0 ? 1.0 : value;
}

}  // namespace

IPluginVST3Parameter::IPluginVST3Parameter(const IParam& param, ParamID id, UnitID unit) : param_(param) {
  info.id = id;
  WidenBytes(info.title, param.NameText());
  WidenBytes(info.shortTitle, "");
  WidenBytes(info.units, param.UnitText());
  info.stepCount = StepCountOf(param);
  info.defaultNormalizedValue = param.NormaliseValue(param.Default());
  info.unitId = unit;
  info.flags = FlagsOf(param);
  valueNormalized = info.defaultNormalizedValue;
  precision = param.DisplayPrecision();
}

IPluginVST3Parameter::~IPluginVST3Parameter() = default;

void IPluginVST3Parameter::toString(ParamValue normalised, String128 string) const {
  if (string == nullptr) return;
  GrowString text;
  param_.FormatValue(normalised, true, text, true);
  WidenBytes(string, kString128Units, text.Get());
}

bool IPluginVST3Parameter::fromString(const TChar* string, ParamValue& normalised) const {
  if (string == nullptr) return false;
  try {
    const std::string narrow = platform::NarrowToCodePage(std::u16string_view(
        reinterpret_cast<const char16_t*>(string), static_cast<size_t>(Utf16Length(string, INT32_MAX))));
    normalised = param_.NormaliseValue(param_.ParseValue(narrow.c_str()));
    return true;
  } catch (const std::bad_alloc&) {
    return false;
  }
}

ParamValue IPluginVST3Parameter::toPlain(ParamValue normalised) const { return param_.FromNormalised(normalised); }

ParamValue IPluginVST3Parameter::toNormalized(ParamValue plain) const { return param_.NormaliseValue(plain); }

IPluginVST3BypassParameter::IPluginVST3BypassParameter()
    : StringListParameter(STR16("Bypass"), kBypassParamId, nullptr,
                          ParameterInfo::kCanAutomate | ParameterInfo::kIsList | ParameterInfo::kIsBypass,
                          kRootUnitId) {
  appendString(STR16("off"));
  appendString(STR16("on"));
}

IPluginVST3BypassParameter::~IPluginVST3BypassParameter() = default;

void IPluginVST3BypassParameter::toString(ParamValue normalised, String128 string) const {
  if (string == nullptr) return;
  StringListParameter::toString(ClampNormalised(normalised), string);
}

bool IPluginVST3BypassParameter::fromString(const TChar* string, ParamValue& normalised) const {
  return string != nullptr && StringListParameter::fromString(string, normalised);
}

}  // namespace plugkit
