// Tarnwell's state chunk as a host hands it to setState.
#include "fuzz/fuzzed_tarnwell.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  static tarnwell::fuzz::FuzzedTarnwell session;
  session.fuzzed->SetStateAndCheck(data, size);
  return 0;
}
