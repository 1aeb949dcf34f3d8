// The four built-in presets and the slot record every preset is applied through.
#pragma once

#include <array>
#include <cstdint>
#include <string>

#include "rack/dsp/engine_settings.h"

namespace tarnwell {

// One bay of a preset: an EffectType value (anything outside 0..17, such as -1, is an empty
// bay), amount 0..1 and character 0..15; out-of-range values are clamped when applied.
struct PresetBay {
  int32_t type = -1;
  float amount = 0.0f;
  int32_t character = 0;
};

// What a preset sets: the ten bays, the gains and the safety clipper.
struct PresetSlots {
  std::array<PresetBay, dsp::kBayCount> bays{};
  double inputGainDb = 0.0;
  double outputGainDb = 0.0;
  bool safety = true;
};

struct FactoryPreset {
  const char* id;
  const char* name;
  const char* nameZh;
  const char* category;
  const char* description;
  float inputGainDb;
  float outputGainDb;
  std::array<PresetBay, dsp::kBayCount> bays;
};

inline constexpr int32_t kFactoryPresetCount = 4;

const std::array<FactoryPreset, kFactoryPresetCount>& FactoryPresets();

// The preset id a factory row makes current, as the page knows the row: "factory:<id>".
std::string FactoryPresetId(const FactoryPreset& preset);

// The slots a factory row applies (safety on).
PresetSlots SlotsOf(const FactoryPreset& preset);

}  // namespace tarnwell
