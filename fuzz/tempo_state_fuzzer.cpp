// TarnwellTempo's state chunk as a host hands it to setState, on a tempo block of this run's own.
#include <stdlib.h>
#include <unistd.h>

#include <string>

#include "fuzz/fuzzed_plugin.h"
#include "tempo/tarnwell_tempo.h"

namespace {

Steinberg::Vst::IAudioProcessor* TempoOnABlockOfItsOwn() {
  setenv("TARNWELL_TEMPO_BLOCK", ("TarnwellFuzz_" + std::to_string(getpid())).c_str(), 1);
  return CreateTempoInstance();
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  static tarnwell::fuzz::FuzzedPlugin plugin(TempoOnABlockOfItsOwn());
  plugin.SetStateAndCheck(data, size);
  return 0;
}
