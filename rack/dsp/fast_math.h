#pragma once

#include <cmath>
#include <cstdint>
#include <cstring>
#include <limits>

// Replacements for the library's pow of base 10 and tanh where a block calls them every frame.
// Pow10 rests on the library's exp, a fraction of the cost of pow. FastTanh runs an inline exp, so
// that inside a loop full of filter state it costs no call that would spill every register. Relative
// error at most 4e-15 against the library (tests/rack/fast_math_test.cpp measures it), so a render
// moves by far less than the 1e-9 a block may drift. Measured, the library's own exp and log beat
// inline versions where they are called with little else live, so those stay the library's; Log10
// is the library's natural log scaled, which costs about half its log10.

namespace fast_math_detail {

inline double FromBits(std::uint64_t bits) {
    double value;
    std::memcpy(&value, &bits, sizeof value);
    return value;
}

inline std::uint64_t ToBits(double value) {
    std::uint64_t bits;
    std::memcpy(&bits, &value, sizeof bits);
    return bits;
}

inline constexpr double kLn2High = 0.693147180369123816490;
inline constexpr double kLn2Low = 1.90821492927058770002e-10;
inline constexpr double kLog2E = 1.4426950408889634;
inline constexpr double kLn10 = 2.302585092994046;
inline constexpr double kInverseLn10 = 0.43429448190325176;
// Adding it rounds a double below 2^51 in magnitude to an integer held in the low mantissa bits.
inline constexpr double kRoundingShift = 6755399441055744.0;

}  // namespace fast_math_detail

// e^x. Below -708 gives 0 (the engine flushes such values anyway), above 709 infinity, NaN stays NaN.
inline double FastExp(double x) {
    using namespace fast_math_detail;
    if (!(x > -708.0)) {
        return x == x ? 0.0 : x;
    }
    if (x > 709.0) {
        return std::numeric_limits<double>::infinity();
    }
    const double shifted = x * kLog2E + kRoundingShift;
    const double k = shifted - kRoundingShift;
    const auto exponent =
        static_cast<std::int64_t>(ToBits(shifted) & 0x000fffffffffffffu) - (std::int64_t{1} << 51);
    // |r| <= ln 2 / 2: the Taylor series to r^13 is exact to the last bit there.
    const double r = (x - k * kLn2High) - k * kLn2Low;
    // Estrin's scheme keeps the dependency chain short.
    const double r2 = r * r;
    const double r4 = r2 * r2;
    const double p01 = 1.0 + r;
    const double p23 = 0.5 + r * (1.0 / 6.0);
    const double p45 = 1.0 / 24.0 + r * (1.0 / 120.0);
    const double p67 = 1.0 / 720.0 + r * (1.0 / 5040.0);
    const double p89 = 1.0 / 40320.0 + r * (1.0 / 362880.0);
    const double p1011 = 1.0 / 3628800.0 + r * (1.0 / 39916800.0);
    const double p1213 = 1.0 / 479001600.0 + r * (1.0 / 6227020800.0);
    const double low = (p01 + p23 * r2) + (p45 + p67 * r2) * r4;
    const double high = (p89 + p1011 * r2) + p1213 * r4;
    const double p = low + high * (r4 * r4);
    // 2^k in two halves, so that k down to -1022 and up to 1023 both stay normal numbers.
    const std::int64_t half = exponent / 2;
    const double scaleA = FromBits(static_cast<std::uint64_t>(half + 1023) << 52);
    const double scaleB = FromBits(static_cast<std::uint64_t>(exponent - half + 1023) << 52);
    return p * scaleA * scaleB;
}

// 10^x. Rounding x ln 10 costs relative error in proportion to |x|: within the bound for |x| <= 8.
inline double Pow10(double x) {
    return std::exp(x * fast_math_detail::kLn10);
}

// log10 x for x > 0; 0 gives -infinity and a negative x NaN, as the library's does.
inline double Log10(double x) {
    return std::log(x) * fast_math_detail::kInverseLn10;
}

// tanh x; below |x| = 0.125 by its series, so small values keep their relative precision.
inline double FastTanh(double x) {
    const double a = std::fabs(x);
    if (a < 0.125) {
        const double x2 = x * x;
        double q = 21844.0 / 6081075.0;
        q = q * x2 - 1382.0 / 155925.0;
        q = q * x2 + 62.0 / 2835.0;
        q = q * x2 - 17.0 / 315.0;
        q = q * x2 + 2.0 / 15.0;
        q = q * x2 - 1.0 / 3.0;
        return x + x * x2 * q;
    }
    if (!(a < 20.0)) {
        // Beyond 20 tanh is 1 to the last bit; NaN passes through.
        return a == a ? std::copysign(1.0, x) : x;
    }
    const double t = 1.0 - 2.0 / (FastExp(2.0 * a) + 1.0);
    return std::copysign(t, x);
}
