// The host's transport as the processor sees it in the current block.
#pragma once

#include <cstdint>

namespace plugkit {

struct TransportInfo {
  double tempo = 120.0;
  double samplePosition = -1.0;   // project time in samples; -1 when the host gave none
  double musicalPosition = -1.0;  // in quarter notes
  double lastBarStart = -1.0;     // in quarter notes
  double cycleStart = -1.0;
  double cycleEnd = -1.0;
  int32_t timeSignatureNumerator = 4;
  int32_t timeSignatureDenominator = 4;
  bool transportIsRunning = false;
  bool transportLoopEnabled = false;
};

}  // namespace plugkit
