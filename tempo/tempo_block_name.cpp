#include "tempo/tempo_block_name.h"

#include <array>

#include "platform/environment_variable.h"
#include "platform/shared_memory.h"
#include "tempo/tempo_block.h"

std::string TempoBlockNameFromEnvironment() {
  std::array<char, plugkit::platform::kMaxSharedMemoryName + 1> name{};
  if (plugkit::platform::ReadEnvironmentVariable("TARNWELL_TEMPO_BLOCK", name.data(), name.size()) && name[0] != '\0')
    return name.data();
  return kTempoBlockName;
}
