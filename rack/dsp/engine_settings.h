#pragma once

#include <array>
#include <cstdint>

#include "rack/dsp/effect_type.h"

namespace tarnwell::dsp {

inline constexpr int kBayCount = 10;

// One bay of the per-block snapshot.
struct BayControl {
  bool on = false;
  bool solo = false;
  // Kept as a plain integer: a value outside EffectType reaches the engine from old or damaged state.
  std::int32_t type = static_cast<std::int32_t>(EffectType::Empty);
  // 0..15; each block clamps it to the variants it has.
  std::int32_t character = 0;
  // 0..1; some blocks deliberately use the unclamped value.
  double amount = 0.0;
};

// Built fresh for every audio block by the plug-in and read by the engine; never shared between threads.
struct EngineSettings {
  std::array<BayControl, kBayCount> bays{};
  double inputGainDb = 0.0;
  double outputGainDb = 0.0;
  bool safety = true;
  double tempoBpm = 120.0;
};

}  // namespace tarnwell::dsp
