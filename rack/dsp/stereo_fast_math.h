#pragma once

#include <array>
#include <cmath>
#include <cstdint>
#include <limits>

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

#include "rack/dsp/fast_math.h"
#include "rack/dsp/stereo_frames.h"

// FastTanh on both channels at once, without a branch: each lane gets the very value the scalar
// FastTanh gives it (tests/rack/fast_math_test.cpp compares them bit for bit). StereoExp: e^x on both
// channels, not bit for bit any scalar's but within FastExp's relative error of the library.

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
        x == x, SelectChannels(aboveFloor, BothChannels(std::numeric_limits<double>::infinity()), BothChannels(0.0)),
        x);
    return SelectChannels(inRange, e, outside);
}

// The square root of each channel, correctly rounded as std::sqrt's.
inline StereoFrame StereoSqrt(StereoFrame x) {
#if defined(__SSE2__)
    return _mm_sqrt_pd(x);
#else
    return StereoFrame{std::sqrt(x[0]), std::sqrt(x[1])};
#endif
}
