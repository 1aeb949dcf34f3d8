#pragma once

#include <array>
#include <cstdint>

namespace tarnwell::dsp {

// The numbering is stored in presets and state chunks, so it must never be reordered.
enum class EffectType : std::int32_t {
  Gate = 0,
  DeMud = 1,
  DeHarsh = 2,
  DeEsser = 3,
  Compressor = 4,
  Presence = 5,
  Tilt = 6,
  Saturator = 7,
  Tape = 8,
  Air = 9,
  Width = 10,
  Plate = 11,
  Delay = 12,
  Trimmer = 13,
  Glue = 14,
  Clip = 15,
  Shimmer = 16,
  Empty = 17,
};

inline constexpr std::int32_t kEffectTypeCount = 18;

// Display texts in enumerator order; they are also the items of every bay's effect parameter.
inline constexpr std::array<const char*, kEffectTypeCount> kEffectTypeNames = {
    "Gate", "De-Mud", "De-Harsh", "De-Esser", "Compressor", "Presence", "Tilt", "Saturator", "Tape",
    "Air",  "Width",  "Plate",    "Delay",    "Trimmer",    "Glue",     "Clip", "Shimmer",   "Empty",
};

// Returns nullptr for a value outside the enumeration, which a bay treats as "run nothing".
inline const char* EffectTypeName(std::int32_t type) {
  return (type >= 0 && type < kEffectTypeCount) ? kEffectTypeNames[static_cast<std::size_t>(type)] : nullptr;
}

}  // namespace tarnwell::dsp
