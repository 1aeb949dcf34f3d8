// The dynamics blocks' inline logarithm, expm1 and log1p against the standard library's extended
// precision, over the ranges the blocks feed them and beyond, and at the values where such code
// usually breaks.
#include <gtest/gtest.h>

#include <cmath>
#include <functional>
#include <limits>
#include <string>
#include <vector>

#include "error_sweep.h"
#include "rack/dsp/dynamics_math.h"

namespace {

struct BoundedRange {
    SweptRange range;
    // The bound: |approximation - reference| <= absolute + relative |reference|.
    double absolute;
    double relative;
};

// In extended precision, so that the references' own rounding (a unit in the last place in some
// libraries' expm1) does not count against the bounds.
const auto kLog = [](double x) { return static_cast<double>(std::log(static_cast<long double>(x))); };
const auto kExpMinusOne = [](double x) { return static_cast<double>(std::expm1(static_cast<long double>(x))); };
const auto kLogOnePlus = [](double x) { return static_cast<double>(std::log1p(static_cast<long double>(x))); };

TEST(DynamicsMath, StaysWithinItsErrorBoundOfTheLibrary) {
    constexpr double kNear = 1.0 / 128.0;
    const std::vector<BoundedRange> ranges = {
        {{"log", FastLog, kLog, 1e-300, 1e300, true}, 3e-16, 2.5e-16},
        {{"log of envelopes", FastLog, kLog, 1e-10, 2.0, true}, 3e-16, 2.5e-16},
        {{"log of the smallest and largest normals", FastLog, kLog, std::numeric_limits<double>::min(),
          std::numeric_limits<double>::max(), true},
         3e-16, 2.5e-16},
        // Within 1/512 of 1 no table entry is subtracted, so the relative precision stays.
        {{"log near 1", FastLog, kLog, 1.0 - 1.0 / 512.0, 1.0 + 1.0 / 512.0, false}, 0.0, 4.5e-16},
        {{"expm1", ExpMinusOneNearZero, kExpMinusOne, -kNear, kNear, false}, 0.0, 2.3e-16},
        {{"expm1 of release exponents", ExpMinusOneNearZero, kExpMinusOne, -kNear, -1e-300, true}, 0.0, 2.3e-16},
        {{"log1p", Log1pNearZero, kLogOnePlus, -kNear, kNear, false}, 2e-18, 2.3e-16},
        {{"log1p of tiny steps", Log1pNearZero, kLogOnePlus, 1e-300, kNear, true}, 2e-18, 2.3e-16},
        {{"log1p of tiny falls", Log1pNearZero, kLogOnePlus, -kNear, -1e-300, true}, 2e-18, 2.3e-16},
    };
    for (const BoundedRange& bounded : ranges) {
        const WorstError worst = SweepError(bounded.range, bounded.absolute, bounded.relative);
        EXPECT_LE(worst.shareOfBound, 1.0) << bounded.range.name << " at " << worst.at;
    }
}

TEST(DynamicsMath, FastLogAnswersTheEdgesOfItsDomain) {
    constexpr double kInf = std::numeric_limits<double>::infinity();
    constexpr double kNaN = std::numeric_limits<double>::quiet_NaN();
    EXPECT_EQ(FastLog(1.0), 0.0);
    EXPECT_EQ(FastLog(0.0), -kInf);
    EXPECT_EQ(FastLog(-0.0), -kInf);
    EXPECT_EQ(FastLog(kInf), kInf);
    for (const double x : {-1.0, -kInf, kNaN}) {
        EXPECT_TRUE(std::isnan(FastLog(x))) << x;
    }
    // Subnormal numbers take the library's logarithm.
    for (const double x : {std::numeric_limits<double>::denorm_min(), std::numeric_limits<double>::min() / 3.0}) {
        EXPECT_EQ(FastLog(x), std::log(x)) << x;
    }
    // Either side of 1 by one step, where a table entry taken away would leave only rounding.
    for (const double x : {std::nextafter(1.0, 0.0), std::nextafter(1.0, 2.0)}) {
        EXPECT_NEAR(FastLog(x), std::log(x), 2.3e-16 * std::fabs(std::log(x))) << x;
    }
}

}  // namespace
