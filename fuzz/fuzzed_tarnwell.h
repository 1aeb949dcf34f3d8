// Tarnwell driven as a FuzzedPlugin, on a tempo block of the target's own (none until the
// target makes it available).
#pragma once

#include <memory>

#include "fuzz/fuzz_tempo_source.h"
#include "fuzz/fuzzed_plugin.h"
#include "rack/tarnwell.h"

namespace tarnwell::fuzz {

struct FuzzedTarnwell {
  explicit FuzzedTarnwell(bool blockAvailable = false) {
    tempoBlock.available = blockAvailable;
    plugin = new Tarnwell(SourceOf(tempoBlock));
    fuzzed = std::make_unique<FuzzedPlugin>(plugin);
  }
  FuzzTempoBlock tempoBlock;
  Tarnwell* plugin;  // owned by fuzzed
  std::unique_ptr<FuzzedPlugin> fuzzed;
};

}  // namespace tarnwell::fuzz
