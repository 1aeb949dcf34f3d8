#pragma once

#include <string>
#include <vector>

#include "rack/dsp/engine_settings.h"

struct RackConfig {
    std::string name;
    EngineSettings settings;
};

// Every rack the benchmark measures: the empty rack, ten bays switched off, each effect type alone at
// amount 0.5 and 1, a typical vocal chain (also with colour and a plate) and a worst case of ten heavy bays.
std::vector<RackConfig> BenchmarkRacks();

RackConfig VocalChainRack();
RackConfig VocalChainWithColourAndSpaceRack();
RackConfig WorstCaseRack();
