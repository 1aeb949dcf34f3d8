#include "host/parameter_changes.h"

namespace tarnwell::host {

using namespace Steinberg;
using namespace Steinberg::Vst;

tresult PLUGIN_API ParamValueQueue::getPoint(int32 index, int32& sampleOffset, ParamValue& value) {
  if (index < 0 || index >= getPointCount()) return kResultFalse;
  sampleOffset = points_[static_cast<size_t>(index)].offset;
  value = points_[static_cast<size_t>(index)].value;
  return kResultOk;
}

tresult PLUGIN_API ParamValueQueue::addPoint(int32 sampleOffset, ParamValue value, int32& index) {
  if (points_.size() == points_.capacity()) return kResultFalse;  // never grow during a call
  index = static_cast<int32>(points_.size());
  points_.push_back({sampleOffset, value});
  return kResultOk;
}

tresult PLUGIN_API ParamValueQueue::queryInterface(const TUID iid, void** obj) {
  QUERY_INTERFACE(iid, obj, FUnknown::iid, IParamValueQueue)
  QUERY_INTERFACE(iid, obj, IParamValueQueue::iid, IParamValueQueue)
  *obj = nullptr;
  return kNoInterface;
}

ParameterChanges::ParameterChanges(size_t capacity) : queues_(capacity) {}

void ParameterChanges::Add(ParamID id, int32 sampleOffset, ParamValue value) {
  int32 index = 0;
  IParamValueQueue* queue = nullptr;
  for (size_t i = 0; i < used_ && queue == nullptr; ++i)
    if (queues_[i].getParameterId() == id) queue = &queues_[i];
  if (queue == nullptr) queue = addParameterData(id, index);
  if (queue != nullptr) queue->addPoint(sampleOffset, value, index);
}

IParamValueQueue* PLUGIN_API ParameterChanges::getParameterData(int32 index) {
  if (index < 0 || static_cast<size_t>(index) >= used_) return nullptr;
  return &queues_[static_cast<size_t>(index)];
}

IParamValueQueue* PLUGIN_API ParameterChanges::addParameterData(const ParamID& id, int32& index) {
  if (used_ == queues_.size()) return nullptr;
  index = static_cast<int32>(used_);
  queues_[used_].Reset(id);
  return &queues_[used_++];
}

tresult PLUGIN_API ParameterChanges::queryInterface(const TUID iid, void** obj) {
  QUERY_INTERFACE(iid, obj, FUnknown::iid, IParameterChanges)
  QUERY_INTERFACE(iid, obj, IParameterChanges::iid, IParameterChanges)
  *obj = nullptr;
  return kNoInterface;
}

}  // namespace tarnwell::host
