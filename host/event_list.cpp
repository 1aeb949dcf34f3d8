#include "host/event_list.h"

namespace tarnwell::host {

using namespace Steinberg;
using namespace Steinberg::Vst;

tresult PLUGIN_API EventList::getEvent(int32 index, Event& e) {
  if (index < 0 || index >= getEventCount()) return kInvalidArgument;
  e = events_[static_cast<size_t>(index)];
  return kResultOk;
}

tresult PLUGIN_API EventList::addEvent(Event& e) {
  if (events_.size() == events_.capacity()) return kOutOfMemory;  // never grow during a call
  events_.push_back(e);
  return kResultOk;
}

tresult PLUGIN_API EventList::queryInterface(const TUID iid, void** obj) {
  QUERY_INTERFACE(iid, obj, FUnknown::iid, IEventList)
  QUERY_INTERFACE(iid, obj, IEventList::iid, IEventList)
  *obj = nullptr;
  return kNoInterface;
}

}  // namespace tarnwell::host
