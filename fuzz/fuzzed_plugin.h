// A plug-in object of this process driven through its VST 3 interfaces by the host library,
// set up once and then handed one fuzz input after another.
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

#include "host/plugin_instance.h"

namespace tarnwell::fuzz {

class FuzzedPlugin {
 public:
  // Takes over the one reference of a freshly constructed plug-in; starts it at 48 kHz.
  explicit FuzzedPlugin(Steinberg::Vst::IAudioProcessor* plugin);

  // setState with the bytes as the host's stream, then the promises that hold whatever the
  // bytes were: every parameter in range, a block of finite output without allocation, and a
  // state that, saved and set again, saves as itself.
  void SetStateAndCheck(const uint8_t* data, size_t size);
  // One block of a sine on every input channel; its output must be finite, without allocation.
  void ProcessAndCheck(int frames);
  void CheckParametersInRange();

  host::PluginInstance& Instance() { return instance_; }

 private:
  std::vector<uint8_t> Saved();

  host::PluginInstance instance_;
  int64_t position_ = 0;
};

}  // namespace tarnwell::fuzz
