#pragma once

namespace tarnwell::dsp {

// Amounts are clamped to 0..1; NaN gives 0 so that it cannot reach a smoothed state that outlives resets.
inline double ClampToUnit(double x) {
  if (!(x > 0.0)) {
    return 0.0;
  }
  return x < 1.0 ? x : 1.0;
}

}  // namespace tarnwell::dsp
