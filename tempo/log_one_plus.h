// log(1 + x) of the detector's spectral magnitudes, in plain double arithmetic rounded once to
// float. The Windows build's log1pf runs x87 instructions at about six times the native cost, on
// 1023 bins every hop; this runs the same on both builds. (tempo/ lies below rack/, so it cannot
// share the rack's fast math.)
#pragma once

#include <cstdint>
#include <cstring>
#include <limits>

// x >= 0. Relative error of the double result at most 1e-15 before its rounding to float, so the
// float returned is the one nearest log(1 + x) unless that lies within 1e-15 of halfway between two.
// Infinity gives infinity and NaN stays NaN.
inline float LogOnePlus(float x) {
  if (!(x <= std::numeric_limits<float>::max())) return x;
  const double v = x;
  if (v < 0x1p-29) {
    // Two terms are exact to the double's precision here, and 1 + x would round x.
    return static_cast<float>(v * (1.0 - 0.5 * v));
  }
  // 1 + x is exact in double for a float x >= 2^-29. It is 2^k m with m in [sqrt(1/2), sqrt(2)),
  // and ln m = 2 atanh(s) with s = (m - 1) / (m + 1), |s| <= 0.172.
  const double y = 1.0 + v;
  std::uint64_t bits;
  std::memcpy(&bits, &y, sizeof bits);
  std::int64_t k = static_cast<std::int64_t>(bits >> 52) - 1023;
  std::uint64_t mantissaBits = (bits & 0x000fffffffffffffu) | 0x3ff0000000000000u;
  if (mantissaBits > 0x3ff6a09e667f3bccu) {
    mantissaBits -= 0x0010000000000000u;
    ++k;
  }
  double m;
  std::memcpy(&m, &mantissaBits, sizeof m);
  const double s = (m - 1.0) / (m + 1.0);
  const double s2 = s * s;
  const double s4 = s2 * s2;
  const double s8 = s4 * s4;
  // 2 atanh(s) / s - 2 by Estrin's scheme in s^2, to the s^18 term.
  const double p01 = 2.0 / 3.0 + s2 * (2.0 / 5.0);
  const double p23 = 2.0 / 7.0 + s2 * (2.0 / 9.0);
  const double p45 = 2.0 / 11.0 + s2 * (2.0 / 13.0);
  const double p67 = 2.0 / 15.0 + s2 * (2.0 / 17.0);
  const double p8 = 2.0 / 19.0;
  const double series = s2 * ((p01 + s4 * p23) + s8 * ((p45 + s4 * p67) + s8 * p8));
  constexpr double kLn2 = 0.6931471805599453;
  return static_cast<float>(static_cast<double>(k) * kLn2 + (2.0 * s + s * series));
}
