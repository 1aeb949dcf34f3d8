#pragma once

#include <array>
#include <bit>
#include <cmath>
#include <cstdint>
#include <limits>

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

#include "rack/dsp/fast_math.h"
#include "rack/dsp/stereo_frames.h"

namespace tarnwell::dsp {

// FastTanh on both channels at once, without a branch: each lane gets the very value the scalar
// FastTanh gives it (tests/rack/dsp/fast_math_test.cpp compares them bit for bit). StereoExp: e^x on both
// channels, each lane TableExp's bits. StereoLog, StereoLog10 and StereoPow10: each lane the bits of
// FastLog, FastLog10 and FastPow10.

namespace stereo_fast_math_detail {

inline constexpr std::int64_t kSignBit = std::int64_t{1} << 63;

// FastExp's arithmetic for 0 <= x <= 40, where it needs none of its range checks.
inline StereoFrame ExpOfSmallPositive(StereoFrame x) {
  using namespace fast_math_detail;
  const StereoFrame shifted = x * BothChannels(kLog2E) + BothChannels(kRoundingShift);
  const StereoFrame k = shifted - BothChannels(kRoundingShift);
  const StereoBits exponent = (ChannelBits(shifted) & StereoBits{0x000fffffffffffff, 0x000fffffffffffff}) -
                              StereoBits{std::int64_t{1} << 51, std::int64_t{1} << 51};
  const StereoFrame r = (x - k * BothChannels(kLn2High)) - k * BothChannels(kLn2Low);
  const StereoFrame r2 = r * r;
  const StereoFrame r4 = r2 * r2;
  const StereoFrame p01 = BothChannels(1.0) + r;
  const StereoFrame p23 = BothChannels(0.5) + r * BothChannels(1.0 / 6.0);
  const StereoFrame p45 = BothChannels(1.0 / 24.0) + r * BothChannels(1.0 / 120.0);
  const StereoFrame p67 = BothChannels(1.0 / 720.0) + r * BothChannels(1.0 / 5040.0);
  const StereoFrame p89 = BothChannels(1.0 / 40320.0) + r * BothChannels(1.0 / 362880.0);
  const StereoFrame p1011 = BothChannels(1.0 / 3628800.0) + r * BothChannels(1.0 / 39916800.0);
  const StereoFrame p1213 = BothChannels(1.0 / 479001600.0) + r * BothChannels(1.0 / 6227020800.0);
  const StereoFrame low = (p01 + p23 * r2) + (p45 + p67 * r2) * r4;
  const StereoFrame high = (p89 + p1011 * r2) + p1213 * r4;
  const StereoFrame p = low + high * (r4 * r4);
  // The exponent is not negative here, so halving it is a shift.
  const StereoBits half = exponent >> 1;
  const StereoBits bias = {1023, 1023};
  const StereoFrame scaleA = FramesFromBits((half + bias) << 52);
  const StereoFrame scaleB = FramesFromBits((exponent - half + bias) << 52);
  return p * scaleA * scaleB;
}

}  // namespace stereo_fast_math_detail

inline StereoFrame StereoFastTanh(StereoFrame x) {
  using namespace stereo_fast_math_detail;
  const StereoBits signOf = ChannelBits(x) & StereoBits{kSignBit, kSignBit};
  const StereoFrame a = FramesFromBits(ChannelBits(x) & ~StereoBits{kSignBit, kSignBit});

  const StereoFrame x2 = x * x;
  StereoFrame q = BothChannels(21844.0 / 6081075.0);
  q = q * x2 - BothChannels(1382.0 / 155925.0);
  q = q * x2 + BothChannels(62.0 / 2835.0);
  q = q * x2 - BothChannels(17.0 / 315.0);
  q = q * x2 + BothChannels(2.0 / 15.0);
  q = q * x2 - BothChannels(1.0 / 3.0);
  const StereoFrame series = x + x * x2 * q;

  const StereoBits belowLimit = a < BothChannels(20.0);
  const StereoFrame e = ExpOfSmallPositive(SelectChannels(belowLimit, BothChannels(2.0) * a, BothChannels(0.0)));
  const StereoFrame t = BothChannels(1.0) - BothChannels(2.0) / (e + BothChannels(1.0));
  const StereoFrame signedT = FramesFromBits(ChannelBits(t) | signOf);
  // Beyond 20 tanh is 1 to the last bit; NaN passes through.
  const StereoFrame saturated = SelectChannels(a == a, FramesFromBits(ChannelBits(BothChannels(1.0)) | signOf), x);
  return SelectChannels(a < BothChannels(0.125), series, SelectChannels(belowLimit, signedT, saturated));
}

// e^x = 2^k 2^(j/64) e^r with |r| <= ln 2 / 128, where five Taylor terms are exact to a bit or two:
// about half the work of FastExp's reduction by ln 2 alone, which vectorised costs more than the
// library's exp called once per channel. Below -708 gives 0 as FastExp does, above 709 infinity, and
// NaN stays NaN.
inline StereoFrame StereoExp(StereoFrame x) {
  using namespace fast_math_detail;
  const StereoBits aboveFloor = x > BothChannels(-708.0);
  const StereoBits inRange = aboveFloor & (x <= BothChannels(709.0));
  const StereoFrame v = SelectChannels(inRange, x, BothChannels(0.0));

  // The nearest whole number of 64ths of ln 2, held in the low bits of `shifted`.
  const StereoFrame shifted = v * BothChannels(64.0 * kLog2E) + BothChannels(kRoundingShift);
  const StereoFrame steps = shifted - BothChannels(kRoundingShift);
  const StereoBits wholeSteps = ChannelBits(shifted) - ChannelBits(BothChannels(kRoundingShift));
  const StereoFrame r = (v - steps * BothChannels(kLn2High / 64.0)) - steps * BothChannels(kLn2Low / 64.0);
  const StereoFrame r2 = r * r;
  const StereoFrame low = BothChannels(1.0) + r + r2 * (BothChannels(0.5) + r * BothChannels(1.0 / 6.0));
  const StereoFrame high = BothChannels(1.0 / 24.0) + r * BothChannels(1.0 / 120.0);
  const StereoFrame p = low + (r2 * r2) * high;

  const StereoBits j = wholeSteps & StereoBits{63, 63};
  const StereoFrame table{kExp2Sixtyfourths[static_cast<std::size_t>(j[0])],
                          kExp2Sixtyfourths[static_cast<std::size_t>(j[1])]};
  // k goes straight into the exponent field: table * p lies within [0.99, 2.01] and k within
  // [-1022, 1022], and where k is -1022 the table entry is above 1, so the result stays normal.
  const StereoFrame e = FramesFromBits(ChannelBits(table * p) + ((wholeSteps - j) << 46));

  // Below the range 0, above it infinity; NaN passes through.
  const StereoFrame outside = SelectChannels(
      x == x, SelectChannels(aboveFloor, BothChannels(std::numeric_limits<double>::infinity()), BothChannels(0.0)), x);
  return SelectChannels(inRange, e, outside);
}

// FastLog of both channels: the same arithmetic lane by lane, with the two table rows loaded one per
// lane. A lane outside the positive normal numbers sends both to the scalar.
inline StereoFrame StereoLog(StereoFrame x) {
  using namespace fast_math_detail;
  // Unsigned lanes, so that the shifts are SSE2's logical ones.
  using Lanes = std::uint64_t __attribute__((vector_size(16)));
  constexpr double kMin = std::numeric_limits<double>::min();
  constexpr double kMax = std::numeric_limits<double>::max();
#if defined(__SSE2__)
  const __m128d v = std::bit_cast<__m128d>(x);
  const bool bothNormal =
      _mm_movemask_pd(_mm_and_pd(_mm_cmpge_pd(v, _mm_set1_pd(kMin)), _mm_cmple_pd(v, _mm_set1_pd(kMax)))) == 3;
#else
  const bool bothNormal = x[0] >= kMin && x[0] <= kMax && x[1] >= kMin && x[1] <= kMax;
#endif
  if (!bothNormal) {
    return StereoFrame{FastLog(x[0]), FastLog(x[1])};
  }
  const auto both = [](std::uint64_t value) { return Lanes{value, value}; };
  const Lanes bits = std::bit_cast<Lanes>(x);
  const Lanes mantissa = bits & both(0x000fffffffffffffu);
  const Lanes j = (mantissa + both(std::uint64_t{1} << 44)) >> 45;
  const StereoFrame k = std::bit_cast<StereoFrame>((bits >> 52) | both(0x4330000000000000u)) -
                        BothChannels(FromBits(0x4330000000000000u | 1023u));
  const LogStep& first = kLogSteps[j[0]];
  const LogStep& second = kLogSteps[j[1]];
  const StereoFrame r = (std::bit_cast<StereoFrame>(mantissa | both(0x3ff0000000000000u)) -
                         std::bit_cast<StereoFrame>(both(0x3ff0000000000000u) + (j << 45))) *
                        StereoFrame{first.inverse, second.inverse};
  const StereoFrame r2 = r * r;
  const StereoFrame series =
      r + r2 * ((BothChannels(-0.5) + r * BothChannels(kLogSeries3)) +
                r2 * ((BothChannels(-0.25) + r * BothChannels(kLogSeries5)) + r2 * BothChannels(-1.0 / 6.0)));
  return (k * BothChannels(kLn2High) + StereoFrame{first.logHigh, second.logHigh}) +
         (series + (k * BothChannels(kLn2Low) + StereoFrame{first.logLow, second.logLow}));
}

inline StereoFrame StereoLog10(StereoFrame x) { return StereoLog(x) * BothChannels(fast_math_detail::kInverseLn10); }

inline StereoFrame StereoPow10(StereoFrame x) { return StereoExp(x * BothChannels(fast_math_detail::kLn10)); }

// The square root of each channel, correctly rounded as std::sqrt's.
inline StereoFrame StereoSqrt(StereoFrame x) {
#if defined(__SSE2__)
  return _mm_sqrt_pd(x);
#else
  return StereoFrame{std::sqrt(x[0]), std::sqrt(x[1])};
#endif
}

}  // namespace tarnwell::dsp
