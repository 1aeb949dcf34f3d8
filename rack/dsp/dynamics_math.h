#pragma once

#include <cmath>

#include "rack/dsp/fast_math.h"

namespace tarnwell::dsp {

// Inline replacements for the library's expm1 and log1p near 0, for recurrences that take one per
// frame: a library call there is a wait on the critical path, and in the Windows build an x87
// routine. ExpMinusOneNearZero is within 2.3e-16 relative of expm1 and Log1pNearZero within
// 2e-18 + 2.3e-16 |log1p u| of log1p (tests/rack/dsp/dynamics_math_test.cpp measures them against the
// library). The logarithm itself is fast_math.h's FastLog.

// e^x - 1 for |x| <= 1/128 by its series to x^7, grouped for a short dependency chain; the caller
// keeps x in range.
inline double ExpMinusOneNearZero(double x) {
  const double x2 = x * x;
  const double low = x + x2 * (0.5 + x * (1.0 / 6.0));
  const double high = (1.0 / 24.0 + x * (1.0 / 120.0)) + x2 * (1.0 / 720.0 + x * (1.0 / 5040.0));
  return low + (x2 * x2) * high;
}

// log(1 + u) for |u| <= 1/128 by its series to u^7 (the first term left out is below 2e-18); the
// caller keeps u in range.
inline double Log1pNearZero(double u) {
  const double u2 = u * u;
  const double low = u + u2 * (-0.5 + u * (1.0 / 3.0));
  const double high = (-0.25 + u * 0.2) + u2 * (-1.0 / 6.0 + u * (1.0 / 7.0));
  return low + (u2 * u2) * high;
}

}  // namespace tarnwell::dsp
