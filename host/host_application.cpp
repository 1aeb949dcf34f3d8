#include "host/host_application.h"

#include "host/text.h"

namespace tarnwell::host {

using namespace Steinberg;

tresult PLUGIN_API HostApplication::getName(Vst::String128 name) {
  std::u16string wide = Utf8ToUtf16(name_);
  size_t n = std::min<size_t>(wide.size(), 127);
  for (size_t i = 0; i < n; ++i) name[i] = static_cast<Vst::TChar>(wide[i]);
  name[n] = 0;
  return nameFails ? kResultFalse : kResultOk;
}

tresult PLUGIN_API HostApplication::createInstance(TUID, TUID, void** obj) {
  if (obj) *obj = nullptr;
  return kResultFalse;
}

tresult PLUGIN_API HostApplication::queryInterface(const TUID iid, void** obj) {
  QUERY_INTERFACE(iid, obj, FUnknown::iid, IHostApplication)
  QUERY_INTERFACE(iid, obj, Vst::IHostApplication::iid, IHostApplication)
  if (extra_ != nullptr) return extra_->queryInterface(iid, obj);
  *obj = nullptr;
  return kNoInterface;
}

}  // namespace tarnwell::host
