#include "rack_configs.h"

#include <cstdint>
#include <initializer_list>
#include <utility>

using namespace tarnwell::dsp;

namespace {

struct Bay {
  EffectType type;
  std::int32_t character;
  double amount;
};

RackConfig MakeRack(std::string name, std::initializer_list<Bay> bays, bool on = true) {
  RackConfig config{std::move(name), EngineSettings{}};
  config.settings.safety = true;
  std::size_t index = 0;
  for (const Bay& bay : bays) {
    config.settings.bays[index++] = {on, false, static_cast<std::int32_t>(bay.type), bay.character, bay.amount};
  }
  return config;
}

constexpr std::initializer_list<Bay> kHeavyBays = {
    {EffectType::DeHarsh, 0, 1.0},    {EffectType::DeMud, 0, 1.0}, {EffectType::Presence, 0, 1.0},
    {EffectType::Compressor, 2, 1.0}, {EffectType::Glue, 0, 1.0},  {EffectType::Saturator, 3, 1.0},
    {EffectType::Tape, 0, 1.0},       {EffectType::Air, 0, 1.0},   {EffectType::Plate, 0, 1.0},
    {EffectType::Shimmer, 0, 1.0},
};

}  // namespace

RackConfig BlockRack(std::string name, EffectType type, std::int32_t character, double amount) {
  return MakeRack(std::move(name), {{type, character, amount}});
}

RackConfig VocalChainRack() {
  return MakeRack("vocal chain", {{EffectType::Gate, 0, 0.3},
                                  {EffectType::DeMud, 0, 0.4},
                                  {EffectType::Compressor, 1, 0.5},
                                  {EffectType::DeEsser, 0, 0.5},
                                  {EffectType::Presence, 0, 0.4},
                                  {EffectType::Delay, 3, 0.2},
                                  {EffectType::Glue, 0, 0.4},
                                  {EffectType::Clip, 0, 0.3}});
}

// The vocal chain with a saturator, air and a plate in place of the delay, all ten bays in use.
RackConfig VocalChainWithColourAndSpaceRack() {
  return MakeRack("vocal chain with colour and space", {{EffectType::Gate, 0, 0.3},
                                                        {EffectType::DeMud, 0, 0.4},
                                                        {EffectType::Compressor, 1, 0.5},
                                                        {EffectType::DeEsser, 0, 0.5},
                                                        {EffectType::Saturator, 1, 0.3},
                                                        {EffectType::Presence, 0, 0.4},
                                                        {EffectType::Air, 0, 0.3},
                                                        {EffectType::Glue, 0, 0.4},
                                                        {EffectType::Plate, 0, 0.3},
                                                        {EffectType::Clip, 0, 0.3}});
}

RackConfig WorstCaseRack() { return MakeRack("worst case", kHeavyBays); }

std::vector<RackConfig> BenchmarkRacks() {
  std::vector<RackConfig> racks;
  racks.push_back(MakeRack("empty", {}));
  racks.push_back(MakeRack("ten off", kHeavyBays, false));
  for (std::int32_t type = 0; type < static_cast<std::int32_t>(EffectType::Empty); ++type) {
    for (double amount : {0.5, 1.0}) {
      const std::string name = std::string(EffectTypeName(type)) + (amount < 1.0 ? " 0.5" : " 1");
      racks.push_back(BlockRack(name, static_cast<EffectType>(type), 0, amount));
    }
  }
  // Every Width character but 0 runs the high-band mode, a path of its own.
  racks.push_back(MakeRack("Width high band 1", {{EffectType::Width, 1, 1.0}}));
  // Character 0 splits off a low band; characters without a split run the main path alone.
  racks.push_back(MakeRack("Saturator no split 1", {{EffectType::Saturator, 1, 1.0}}));
  racks.push_back(VocalChainRack());
  racks.push_back(VocalChainWithColourAndSpaceRack());
  racks.push_back(WorstCaseRack());
  return racks;
}
