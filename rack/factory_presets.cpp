#include "rack/factory_presets.h"

namespace tarnwell {

namespace {

constexpr PresetBay kEmptyBay{-1, 0.0f, 0};

constexpr PresetBay Bay(dsp::EffectType type, float amount, int32_t character) {
  return {static_cast<int32_t>(type), amount, character};
}

using enum dsp::EffectType;

constexpr std::array<FactoryPreset, kFactoryPresetCount> kFactoryPresets = {{
    {"empty",
     "Empty",
     "全空",
     "Factory/Default",
     "Tarnwell empty rack",
     0.0f,
     0.0f,
     {kEmptyBay, kEmptyBay, kEmptyBay, kEmptyBay, kEmptyBay, kEmptyBay, kEmptyBay, kEmptyBay, kEmptyBay, kEmptyBay}},
    {"present",
     "Present",
     "贴脸人声",
     "Factory/Vocal",
     "Vocal - Present with Space",
     0.0f,
     -3.8f,
     {Bay(Compressor, 0.355f, 0), Bay(DeMud, 0.302f, 0), Bay(DeHarsh, 0.271f, 0), Bay(Presence, 0.592f, 0),
      Bay(Compressor, 0.238f, 2), Bay(DeEsser, 0.168f, 0), Bay(Clip, 0.4f, 0), Bay(Plate, 0.232f, 0), kEmptyBay,
      kEmptyBay}},
    {"speech",
     "Speech",
     "直播说话",
     "Factory/Live",
     "Tarnwell live speech",
     0.0f,
     0.0f,
     {Bay(Gate, 0.15f, 0), Bay(DeMud, 0.25f, 0), Bay(DeEsser, 0.45f, 0), Bay(Compressor, 0.55f, 0),
      Bay(Presence, 0.25f, 0), Bay(Clip, 0.3f, 0), kEmptyBay, kEmptyBay, kEmptyBay, kEmptyBay}},
    {"live",
     "Live",
     "现场唱歌",
     "Factory/Live",
     "Imported from the user live vocal preset",
     0.0f,
     0.0f,
     {Bay(Gate, 0.075703f, 1), Bay(DeMud, 0.181211f, 1), Bay(Compressor, 0.254512f, 1), Bay(Compressor, 0.212695f, 0),
      Bay(DeEsser, 0.402676f, 1), Bay(Presence, 0.365898f, 0), Bay(Shimmer, 0.272832f, 1), Bay(Delay, 0.030898f, 5),
      Bay(Plate, 0.233594f, 1), Bay(Clip, 0.231758f, 1)}},
}};

}  // namespace

const std::array<FactoryPreset, kFactoryPresetCount>& FactoryPresets() { return kFactoryPresets; }

std::string FactoryPresetId(const FactoryPreset& preset) { return std::string("factory:") + preset.id; }

PresetSlots SlotsOf(const FactoryPreset& preset) {
  PresetSlots slots;
  slots.bays = preset.bays;
  slots.inputGainDb = preset.inputGainDb;
  slots.outputGainDb = preset.outputGainDb;
  slots.safety = true;
  return slots;
}

}  // namespace tarnwell
