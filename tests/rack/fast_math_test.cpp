// The inline approximations against the standard library over the ranges the blocks feed them and
// beyond, and at the values where such code usually breaks.
#include <gtest/gtest.h>

#include <bit>
#include <cmath>
#include <cstdint>
#include <functional>
#include <limits>
#include <string>
#include <utility>
#include <vector>

#include "error_sweep.h"
#include "rack/dsp/fast_math.h"
#include "rack/dsp/stereo_fast_math.h"

namespace {

constexpr double kLargestRelativeError = 4e-15;

TEST(FastMath, StaysWithinItsRelativeErrorOfTheLibrary) {
    const std::vector<SweptRange> ranges = {
        {"exp", FastExp, [](double x) { return std::exp(x); }, -707.0, 709.0, false},
        {"exp near 0", FastExp, [](double x) { return std::exp(x); }, -1e-3, 1e-3, false},
        {"pow10", Pow10, [](double x) { return std::pow(10.0, x); }, -8.0, 8.0, false},
        {"pow10 of cuts in dB / 40", Pow10, [](double x) { return std::pow(10.0, x); }, -0.5, 0.0, false},
        {"log10", Log10, [](double x) { return std::log10(x); }, 1e-300, 1e300, true},
        {"log10 near 1", Log10, [](double x) { return std::log10(x); }, 0.999, 1.001, false},
        {"tanh", FastTanh, [](double x) { return std::tanh(x); }, -25.0, 25.0, false},
        {"tanh near the series edge", FastTanh, [](double x) { return std::tanh(x); }, 0.1, 0.15, false},
        {"tanh of small values", FastTanh, [](double x) { return std::tanh(x); }, 1e-300, 0.2, true},
        // Each channel of the two-channel exp, with the other one out of range.
        {"two-channel exp, left", [](double x) { return StereoExp(StereoFrame{x, -1000.0})[0]; },
         [](double x) { return std::exp(x); }, -707.0, 709.0, false},
        {"two-channel exp, right", [](double x) { return StereoExp(StereoFrame{1000.0, x})[1]; },
         [](double x) { return std::exp(x); }, -707.0, 709.0, false},
        {"two-channel exp near its floor", [](double x) { return StereoExp(BothChannels(x))[0]; },
         [](double x) { return std::exp(x); }, std::nextafter(-708.0, 0.0), -707.0, false},
        {"two-channel exp near 0", [](double x) { return StereoExp(BothChannels(x))[1]; },
         [](double x) { return std::exp(x); }, -1e-3, 1e-3, false},
    };
    for (const SweptRange& range : ranges) {
        const WorstError worst = SweepError(range, 0.0, kLargestRelativeError);
        EXPECT_LE(worst.shareOfBound, 1.0) << range.name << " at " << worst.at;
    }
}

TEST(FastMath, AnswersTheEdgesOfItsDomain) {
    constexpr double kInf = std::numeric_limits<double>::infinity();
    constexpr double kNaN = std::numeric_limits<double>::quiet_NaN();
    struct Case {
        const char* what;
        double got;
        double expected;
    };
    const std::vector<Case> cases = {
        {"exp(0)", FastExp(0.0), 1.0},
        {"exp(-1000)", FastExp(-1000.0), 0.0},
        {"exp(-inf)", FastExp(-kInf), 0.0},
        {"exp(1000)", FastExp(1000.0), kInf},
        {"exp(inf)", FastExp(kInf), kInf},
        {"pow10(0)", Pow10(0.0), 1.0},
        {"tanh(0)", FastTanh(0.0), 0.0},
        {"tanh(40)", FastTanh(40.0), 1.0},
        {"tanh(-inf)", FastTanh(-kInf), -1.0},
        {"log10(1)", Log10(1.0), 0.0},
        {"log10(0)", Log10(0.0), -kInf},
        {"log10(inf)", Log10(kInf), kInf},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(c.got, c.expected) << c.what;
    }
    for (const double nan : {FastExp(kNaN), Pow10(kNaN), FastTanh(kNaN), Log10(kNaN), Log10(-1.0)}) {
        EXPECT_TRUE(std::isnan(nan));
    }
    // Each channel alone at the edges, the other one at 0 (which gives exactly 1).
    const std::vector<std::pair<double, double>> stereoExpEdges = {
        {0.0, 1.0},   {-0.0, 1.0},   {-708.0, 0.0}, {std::nextafter(709.0, kInf), kInf},
        {-1000.0, 0.0}, {1000.0, kInf}, {-kInf, 0.0}, {kInf, kInf}, {kNaN, kNaN}};
    for (const auto& [x, expected] : stereoExpEdges) {
        const StereoFrame leftAlone = StereoExp(StereoFrame{x, 0.0});
        const StereoFrame rightAlone = StereoExp(StereoFrame{0.0, x});
        for (const double got : {leftAlone[0], rightAlone[1]}) {
            EXPECT_TRUE(got == expected || (std::isnan(got) && std::isnan(expected))) << "two-channel exp(" << x << ")";
        }
        EXPECT_EQ(leftAlone[1], 1.0);
        EXPECT_EQ(rightAlone[0], 1.0);
    }
}

// The two-channel tanh must give each lane the scalar's exact bits, whatever the other lane holds.
TEST(FastMath, StereoTanhGivesEachChannelTheScalarsBits) {
    constexpr double kInf = std::numeric_limits<double>::infinity();
    std::vector<double> values = {0.0, -0.0, 0.125, -0.125, std::nextafter(0.125, 0.0), 20.0, -20.0,
                                  std::nextafter(20.0, 0.0), 1e-300, -1e-310, 700.0, -kInf, kInf,
                                  std::numeric_limits<double>::quiet_NaN()};
    for (int i = 0; i <= 20000; ++i) {
        values.push_back(-25.0 + 50.0 * i / 20000.0);
    }
    for (std::size_t i = 0; i < values.size(); ++i) {
        const double left = values[i];
        const double right = values[(i * 7919) % values.size()];
        const StereoFrame both = StereoFastTanh(StereoFrame{left, right});
        EXPECT_EQ(std::bit_cast<std::uint64_t>(both[0]), std::bit_cast<std::uint64_t>(FastTanh(left))) << left;
        EXPECT_EQ(std::bit_cast<std::uint64_t>(both[1]), std::bit_cast<std::uint64_t>(FastTanh(right))) << right;
    }
}

}  // namespace
