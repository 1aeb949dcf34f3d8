// The soft clips' two-channel tanh against the standard library's extended precision: within its bound on the samples it is
// made for and beyond, whatever the other channel holds, and at the edges of its domain.
#include <gtest/gtest.h>

#include <cmath>
#include <functional>
#include <limits>
#include <vector>

#include "error_sweep.h"
#include "rack/dsp/stereo_tanh.h"

using namespace tarnwell::dsp;

namespace {

constexpr double kLargestRelativeError = 8e-16;

// In extended precision, so that the reference's own rounding does not count against the bound.
double Tanh(double x) { return static_cast<double>(std::tanh(static_cast<long double>(x))); }

// Each channel on its own, the other one from the far end of the range, so that both the rational and
// the fallback run beside each lane.
TEST(StereoTanh, StaysWithinItsRelativeErrorOfTheLibrary) {
  const auto left = [](double x, double other) { return StereoTanh(StereoFrame{x, other})[0]; };
  const auto right = [](double x, double other) { return StereoTanh(StereoFrame{other, x})[1]; };
  for (const auto& lane : {std::function<double(double, double)>(left), std::function<double(double, double)>(right)}) {
    const std::vector<SweptRange> ranges = {
        {"samples", [&](double x) { return lane(x, -x); }, Tanh, -2.0, 2.0, false},
        {"beyond the rational's reach", [&](double x) { return lane(x, x < 0.0 ? 1.0 : -30.0); }, Tanh, -25.0, 25.0,
         false},
        {"small samples", [&](double x) { return lane(x, 3.0); }, Tanh, 1e-300, 0.5, true},
    };
    for (const SweptRange& range : ranges) {
      const WorstError worst = SweepError(range, 0.0, kLargestRelativeError);
      EXPECT_LE(worst.shareOfBound, 1.0) << range.name << " at " << worst.at;
    }
  }
}

TEST(StereoTanh, AnswersTheEdgesOfItsDomain) {
  constexpr double kInf = std::numeric_limits<double>::infinity();
  const std::vector<std::pair<double, double>> edges = {{0.0, 0.0},  {2.0, Tanh(2.0)}, {-2.0, -Tanh(2.0)},
                                                        {40.0, 1.0}, {-kInf, -1.0},    {kInf, 1.0}};
  for (const auto& [x, expected] : edges) {
    EXPECT_NEAR(StereoTanh(StereoFrame{x, 0.5})[0], expected, kLargestRelativeError * std::fabs(expected)) << x;
    EXPECT_NEAR(StereoTanh(StereoFrame{0.5, x})[1], expected, kLargestRelativeError * std::fabs(expected)) << x;
  }
  EXPECT_TRUE(std::signbit(StereoTanh(StereoFrame{-0.0, 0.0})[0]));
  const StereoFrame nan = StereoTanh(StereoFrame{std::numeric_limits<double>::quiet_NaN(), 0.25});
  EXPECT_TRUE(std::isnan(nan[0]));
  EXPECT_NEAR(nan[1], Tanh(0.25), kLargestRelativeError * Tanh(0.25));
}

}  // namespace
