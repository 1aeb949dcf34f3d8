#include "framework/plugin_base.h"

#include <new>

namespace plugkit {

IPluginBase::IPluginBase(const PluginSetup& setup)
    : WebViewEditorDelegate(setup.paramCount),
      uniqueId_(setup.uniqueId),
      vendorId_(setup.vendorId),
      versionCode_(setup.versionCode),
      hasEditor_(setup.hasEditor != 0),
      hostResizable_(setup.hostResizable != 0) {
  pluginName_.Set(setup.pluginName, kMaxNameLength);
  productName_.Set(setup.productName, kMaxNameLength);
  vendorName_.Set(setup.vendorName, kMaxNameLength);
  if (setup.presetCount > 0) {
    presets_.reset(new (std::nothrow) PresetSlot[static_cast<size_t>(setup.presetCount)]);
    if (presets_ != nullptr) presetCount_ = setup.presetCount;
  }
}

// The slot array is destroyed from the last slot to the first.
IPluginBase::~IPluginBase() = default;

bool IPluginBase::SerializeParams(StateBlob& blob) const noexcept {
  for (int32_t i = 0; i < NParams(); ++i) {
    const IParam* param = GetParam(i);
    if (param == nullptr || !blob.PutValue(param->Value())) return false;
  }
  return true;
}

int32_t IPluginBase::UnserializeParams(const StateBlob& blob, int32_t start) noexcept {
  int32_t position = start < 0 ? -1 : start;
  for (int32_t i = 0; i < NParams() && position >= 0; ++i) {
    double value = 0.0;
    position = blob.GetValue(value, position);
    if (position < 0) break;
    if (IParam* param = GetParam(i)) param->SetValue(value);
  }
  NotifyAllParamsChanged(ParamChangeOrigin::Preset);
  return position;
}

const char* IPluginBase::PresetNameAt(int32_t index) const noexcept {
  if (index < 0 || index >= presetCount_) return "";
  return presets_[index].name;
}

void IPluginBase::SetHostIdentity(const char* name, HostId id, int32_t version) noexcept {
  hostName_.Set(name);
  hostId_ = id;
  hostVersion_ = version;
}

}  // namespace plugkit
