// TarnwellDuck: ducks a stereo main signal under the level of a stereo side-chain key with
// its Ducker. The ducked signal is delayed by the look-ahead while "On"; the latency
// reported to the host stays 0 all the same.
#pragma once

#include <cstdint>

#include "duck/ducker.h"
#include "framework/vst3/plugin.h"

enum DuckParam : int32_t { ParamAmount = 0, ParamCharacter = 1, ParamOn = 2, kDuckParamCount = 3 };

class TarnwellDuck final : public plugkit::IPluginVST3 {
 public:
  static constexpr int32_t kEditorWidth = 227;
  static constexpr int32_t kEditorHeight = 303;

  TarnwellDuck();
  ~TarnwellDuck() override;

  // The editor has one size; a size that is not positive is left to the caller.
  bool ConstrainEditorSize(int32_t& width, int32_t& height) override;
  bool MayNavigateTo(const char* url) override;

  // Audio thread. Inputs 0 and 1 are the main pair, 2 and 3 the side-chain.
  void RenderBlock(double* const* inputs, double* const* outputs, int32_t frames) noexcept override;
  // After the host's set-up and when processing stops (possibly on the audio thread).
  void ResetDsp() noexcept override;

 private:
  Ducker ducker_;
};

// Builds one instance for the module's factory (called under the creation lock).
Steinberg::Vst::IAudioProcessor* CreateDuckInstance();
