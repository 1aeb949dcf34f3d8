#include "rack/engine_snapshot.h"

#include "rack/tarnwell_params.h"

namespace tarnwell {

namespace {

constexpr double kFallbackTempoBpm = 120.0;

double ValueOf(const plugkit::IEditorDelegate& params, int32_t index) noexcept {
  const plugkit::IParam* param = params.GetParam(index);
  return param != nullptr ? param->Value() : 0.0;
}

// Parameters are clamped to their ranges, so the rounded value always fits an int32.
int32_t RoundedIndex(double value) noexcept { return static_cast<int32_t>(value + 0.5); }

}  // namespace

dsp::EngineSettings SnapshotFromParams(const plugkit::IEditorDelegate& params, double hostTempoBpm) noexcept {
  dsp::EngineSettings settings;
  for (int32_t bay = 0; bay < dsp::kBayCount; ++bay) {
    dsp::BayControl& control = settings.bays[static_cast<size_t>(bay)];
    control.on = ValueOf(params, BayParam(bay, BayField::On)) >= 0.5;
    control.solo = ValueOf(params, BayParam(bay, BayField::Solo)) >= 0.5;
    control.type = RoundedIndex(ValueOf(params, BayParam(bay, BayField::Effect)));
    control.character = RoundedIndex(ValueOf(params, BayParam(bay, BayField::Character)));
    control.amount = ValueOf(params, BayParam(bay, BayField::Amount)) / 100.0;
  }
  settings.inputGainDb = ValueOf(params, kInputParam);
  settings.outputGainDb = ValueOf(params, kOutputParam);
  settings.safety = ValueOf(params, kSafetyParam) >= 0.5;
  settings.tempoBpm = hostTempoBpm > 1.0 ? hostTempoBpm : kFallbackTempoBpm;
  return settings;
}

}  // namespace tarnwell
