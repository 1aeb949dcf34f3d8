#include "host/plug_frame.h"

namespace tarnwell::host {

using namespace Steinberg;

tresult PLUGIN_API PlugFrame::resizeView(IPlugView* view, ViewRect* newSize) {
  if (view == nullptr || newSize == nullptr) return kInvalidArgument;
  resizes_.push_back(*newSize);
  // A host answers a granted resize by telling the view its new size.
  view->onSize(newSize);
  return kResultOk;
}

tresult PLUGIN_API PlugFrame::queryInterface(const TUID iid, void** obj) {
  QUERY_INTERFACE(iid, obj, FUnknown::iid, IPlugFrame)
  QUERY_INTERFACE(iid, obj, IPlugFrame::iid, IPlugFrame)
  if (extra_ != nullptr) return extra_->queryInterface(iid, obj);
  *obj = nullptr;
  return kNoInterface;
}

}  // namespace tarnwell::host
