// A plug-in class on the VST 3 binding for in-process tests: it records the framework hooks
// the binding calls, so that tests see what a host call set off inside the plug-in.
#pragma once

#include <cstdint>
#include <vector>

#include "framework/vst3/plugin.h"

namespace plugkit::test {

struct HookCall {
  enum Kind { ParamChange, UIParamChange, HostKnown, StateRestored, Activation };
  Kind kind;
  int32_t index = -1;
  ParamChangeOrigin origin = ParamChangeOrigin::Reset;
  int32_t offset = 0;
};

PluginSetup BindingSetup(const char* layouts = "2-2 2.2-2");

class BindingPlugin : public IPluginVST3 {
 public:
  explicit BindingPlugin(const PluginSetup& setup = BindingSetup());
  ~BindingPlugin() override { StopIdleTimer(); }

  void OnParamChange(int32_t paramIdx, ParamChangeOrigin origin, int32_t sampleOffset) override {
    calls.push_back({HookCall::ParamChange, paramIdx, origin, sampleOffset});
  }
  void OnUIParamChanged(int32_t paramIdx, ParamChangeOrigin origin) override {
    calls.push_back({HookCall::UIParamChange, paramIdx, origin, 0});
  }
  void OnHostKnown() override { calls.push_back({HookCall::HostKnown}); }
  void OnStateRestored() override { calls.push_back({HookCall::StateRestored}); }
  void OnActivationChanged(bool active) noexcept override { calls.push_back({HookCall::Activation, active ? 1 : 0}); }

  int Count(HookCall::Kind kind) const {
    int n = 0;
    for (const HookCall& call : calls) n += call.kind == kind;
    return n;
  }

  std::vector<HookCall> calls;
};

// Owns a plug-in object the way a host does: one reference, released at the end.
template <typename Plugin = BindingPlugin>
struct Owned {
  template <typename... Args>
  explicit Owned(Args&&... args) : plugin(new Plugin(std::forward<Args>(args)...)) {}
  ~Owned() { plugin->release(); }
  Plugin* operator->() const { return plugin; }
  Plugin& operator*() const { return *plugin; }
  Plugin* plugin;
};

}  // namespace plugkit::test
