// Records what a plug-in tells its host: edits, gestures and restart requests, with the
// thread each arrived on (restarts must come from the UI thread).
#pragma once

#include <mutex>
#include <thread>
#include <vector>

#include "pluginterfaces/vst/ivsteditcontroller.h"

namespace tarnwell::host {

class ComponentHandler : public Steinberg::Vst::IComponentHandler {
 public:
  enum class Kind { Begin, Perform, End, Restart };
  struct Call {
    Kind kind;
    Steinberg::Vst::ParamID id;
    Steinberg::Vst::ParamValue value;
    Steinberg::int32 flags;
    std::thread::id thread;
  };

  virtual ~ComponentHandler() = default;

  std::vector<Call> Calls() const;
  void ClearCalls();

  Steinberg::tresult PLUGIN_API beginEdit(Steinberg::Vst::ParamID id) override;
  Steinberg::tresult PLUGIN_API performEdit(Steinberg::Vst::ParamID id,
                                            Steinberg::Vst::ParamValue valueNormalized) override;
  Steinberg::tresult PLUGIN_API endEdit(Steinberg::Vst::ParamID id) override;
  Steinberg::tresult PLUGIN_API restartComponent(Steinberg::int32 flags) override;

  Steinberg::tresult PLUGIN_API queryInterface(const Steinberg::TUID iid, void** obj) override;
  Steinberg::uint32 PLUGIN_API addRef() override { return 1; }
  Steinberg::uint32 PLUGIN_API release() override { return 1; }

 private:
  void Record(Call call);
  mutable std::mutex mutex_;  // host side only: never taken by the plug-in's audio path
  std::vector<Call> calls_;
};

}  // namespace tarnwell::host
