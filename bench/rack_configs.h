#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "rack/dsp/engine_settings.h"

struct RackConfig {
  std::string name;
  tarnwell::dsp::EngineSettings settings;
};

// Every rack the benchmark measures: the empty rack, ten bays switched off, each effect type alone at
// amount 0.5 and 1, a typical vocal chain (also with colour and a plate) and a worst case of ten heavy bays.
std::vector<RackConfig> BenchmarkRacks();

// One block alone in the rack, safety on, as every single-block case of the benchmarks runs it.
RackConfig BlockRack(std::string name, tarnwell::dsp::EffectType type, std::int32_t character, double amount);

RackConfig VocalChainRack();
RackConfig VocalChainWithColourAndSpaceRack();
RackConfig WorstCaseRack();
