// A parameter value on its way between threads.
#pragma once

#include <cstdint>

namespace plugkit {

struct ParamUpdate {
  int32_t paramIdx = 0;
  double value = 0.0;
};

}  // namespace plugkit
