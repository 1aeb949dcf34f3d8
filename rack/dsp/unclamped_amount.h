#pragma once

#include <algorithm>
#include <cmath>

namespace tarnwell::dsp {

// Some blocks follow the bay's amount beyond 0..1. Such values only come from hand-edited state, so
// they are held to one full range either side, where every gain stays finite and every feedback
// loop stable; a NaN takes the block's neutral amount.
inline double UsableUnclampedAmount(double amount, double neutral) {
  if (std::isnan(amount)) {
    return neutral;
  }
  return std::clamp(amount, -1.0, 2.0);
}

}  // namespace tarnwell::dsp
