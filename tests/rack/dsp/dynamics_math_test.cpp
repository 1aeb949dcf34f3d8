// The dynamics blocks' inline expm1 and log1p against the standard library's extended
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
const auto kExpMinusOne = [](double x) { return static_cast<double>(std::expm1(static_cast<long double>(x))); };
const auto kLogOnePlus = [](double x) { return static_cast<double>(std::log1p(static_cast<long double>(x))); };

TEST(DynamicsMath, StaysWithinItsErrorBoundOfTheLibrary) {
  constexpr double kNear = 1.0 / 128.0;
  const std::vector<BoundedRange> ranges = {
      {{"expm1", tarnwell::dsp::ExpMinusOneNearZero, kExpMinusOne, -kNear, kNear, false}, 0.0, 2.3e-16},
      {{"expm1 of release exponents", tarnwell::dsp::ExpMinusOneNearZero, kExpMinusOne, -kNear, -1e-300, true},
       0.0,
       2.3e-16},
      {{"log1p", tarnwell::dsp::Log1pNearZero, kLogOnePlus, -kNear, kNear, false}, 2e-18, 2.3e-16},
      {{"log1p of tiny steps", tarnwell::dsp::Log1pNearZero, kLogOnePlus, 1e-300, kNear, true}, 2e-18, 2.3e-16},
      {{"log1p of tiny falls", tarnwell::dsp::Log1pNearZero, kLogOnePlus, -kNear, -1e-300, true}, 2e-18, 2.3e-16},
  };
  for (const BoundedRange& bounded : ranges) {
    const WorstError worst = SweepError(bounded.range, bounded.absolute, bounded.relative);
    EXPECT_LE(worst.shareOfBound, 1.0) << bounded.range.name << " at " << worst.at;
  }
}

}  // namespace
