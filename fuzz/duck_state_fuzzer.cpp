// TarnwellDuck's state chunk as a host hands it to setState.
#include "duck/tarnwell_duck.h"
#include "fuzz/fuzzed_plugin.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  static tarnwell::fuzz::FuzzedPlugin plugin(CreateDuckInstance());
  plugin.SetStateAndCheck(data, size);
  return 0;
}
