#include "host/component_handler.h"

namespace tarnwell::host {

using namespace Steinberg;
using namespace Steinberg::Vst;

std::vector<ComponentHandler::Call> ComponentHandler::Calls() const {
  std::lock_guard<std::mutex> lock(mutex_);
  return calls_;
}

void ComponentHandler::ClearCalls() {
  std::lock_guard<std::mutex> lock(mutex_);
  calls_.clear();
}

void ComponentHandler::Record(Call call) {
  std::lock_guard<std::mutex> lock(mutex_);
  calls_.push_back(call);
}

tresult PLUGIN_API ComponentHandler::beginEdit(ParamID id) {
  Record({Kind::Begin, id, 0.0, 0, std::this_thread::get_id()});
  return kResultOk;
}

tresult PLUGIN_API ComponentHandler::performEdit(ParamID id, ParamValue valueNormalized) {
  Record({Kind::Perform, id, valueNormalized, 0, std::this_thread::get_id()});
  return kResultOk;
}

tresult PLUGIN_API ComponentHandler::endEdit(ParamID id) {
  Record({Kind::End, id, 0.0, 0, std::this_thread::get_id()});
  return kResultOk;
}

tresult PLUGIN_API ComponentHandler::restartComponent(int32 flags) {
  Record({Kind::Restart, 0, 0.0, flags, std::this_thread::get_id()});
  return kResultOk;
}

tresult PLUGIN_API ComponentHandler::queryInterface(const TUID iid, void** obj) {
  QUERY_INTERFACE(iid, obj, FUnknown::iid, IComponentHandler)
  QUERY_INTERFACE(iid, obj, IComponentHandler::iid, IComponentHandler)
  *obj = nullptr;
  return kNoInterface;
}

}  // namespace tarnwell::host
