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

using namespace tarnwell::dsp;

namespace {

constexpr double kLargestRelativeError = 4e-15;
constexpr int kPoints = 200001;

struct Worst {
  double error = 0.0;
  double at = 0.0;
};

// The largest of errorAt(x) over kPoints points from `from` to `to`, spread evenly in x or, for
// positive ranges spanning decades, in its logarithm.
template <typename ErrorAt>
Worst WorstOver(double from, double to, bool logarithmic, ErrorAt errorAt) {
  Worst worst;
  for (int i = 0; i < kPoints; ++i) {
    const double share = static_cast<double>(i) / (kPoints - 1);
    const double x =
        logarithmic ? std::exp(std::log(from) + share * (std::log(to) - std::log(from))) : from + share * (to - from);
    const double error = errorAt(x);
    if (!(error <= worst.error)) {
      worst = {error, x};
    }
  }
  return worst;
}

TEST(FastMath, StaysWithinItsRelativeErrorOfTheLibrary) {
  const std::vector<SweptRange> ranges = {
      {"exp", FastExp, [](double x) { return std::exp(x); }, -707.0, 709.0, false},
      {"exp near 0", FastExp, [](double x) { return std::exp(x); }, -1e-3, 1e-3, false},
      {"pow10", FastPow10, [](double x) { return std::pow(10.0, x); }, -8.0, 8.0, false},
      {"pow10 of cuts in dB / 40", FastPow10, [](double x) { return std::pow(10.0, x); }, -0.5, 0.0, false},
      {"log10", FastLog10, [](double x) { return std::log10(x); }, 1e-300, 1e300, true},
      {"log10 near 1", FastLog10, [](double x) { return std::log10(x); }, 0.999, 1.001, false},
      {"tanh", FastTanh, [](double x) { return std::tanh(x); }, -25.0, 25.0, false},
      {"tanh near the series edge", FastTanh, [](double x) { return std::tanh(x); }, 0.1, 0.15, false},
      {"tanh of small values", FastTanh, [](double x) { return std::tanh(x); }, 1e-300, 0.2, true},
      // Each channel of the two-channel exp, with the other one out of range.
      {"two-channel exp, left",
       [](double x) {
         return StereoExp(StereoFrame{x, -1000.0})[0];
       },
       [](double x) { return std::exp(x); }, -707.0, 709.0, false},
      {"two-channel exp, right",
       [](double x) {
         return StereoExp(StereoFrame{1000.0, x})[1];
       },
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
      {"tanh(0)", FastTanh(0.0), 0.0},
      {"tanh(40)", FastTanh(40.0), 1.0},
      {"tanh(-inf)", FastTanh(-kInf), -1.0},
      {"log10(0)", FastLog10(0.0), -kInf},
      {"log10(inf)", FastLog10(kInf), kInf},
      {"table exp(0)", TableExp(0.0), 1.0},
      {"table exp(-708)", TableExp(-708.0), 0.0},
      {"table exp(-inf)", TableExp(-kInf), 0.0},
      {"table exp(709.5)", TableExp(709.5), kInf},
      {"table exp(inf)", TableExp(kInf), kInf},
      {"log(1)", FastLog(1.0), 0.0},
      {"log(0)", FastLog(0.0), -kInf},
      {"log(-0)", FastLog(-0.0), -kInf},
      {"log(inf)", FastLog(kInf), kInf},
      {"log(2)", FastLog(2.0), std::log(2.0)},
      {"log(0.5)", FastLog(0.5), -std::log(2.0)},
      {"fast log10(1)", FastLog10(1.0), 0.0},
      {"fast pow10(0)", FastPow10(0.0), 1.0},
      {"pow(0, 1.5)", FastPow(0.0, 1.5), 0.0},
      {"pow(0, 0)", FastPow(0.0, 0.0), 1.0},
      {"pow(1, 7)", FastPow(1.0, 7.0), 1.0},
      {"sin(0)", FastSinCos(0.0).sine, 0.0},
      {"cos(0)", FastSinCos(0.0).cosine, 1.0},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(c.got, c.expected) << c.what;
  }
  EXPECT_TRUE(std::isfinite(TableExp(709.0)));
  for (const double nan : {FastExp(kNaN), FastTanh(kNaN), FastLog10(kNaN), FastLog10(-1.0), TableExp(kNaN),
                           FastLog(kNaN), FastLog(-1.0), FastLog(-kInf), FastLog(-1e-320), FastPow10(kNaN),
                           FastSinCos(kNaN).sine, FastSinCos(kInf).cosine, FastSinCos(-kInf).sine}) {
    EXPECT_TRUE(std::isnan(nan));
  }
  // Each channel alone at the edges, the other one at 0 (which gives exactly 1).
  const std::vector<std::pair<double, double>> stereoExpEdges = {
      {0.0, 1.0},   {-0.0, 1.0},  {-708.0, 0.0}, {std::nextafter(709.0, kInf), kInf}, {-1000.0, 0.0}, {1000.0, kInf},
      {-kInf, 0.0}, {kInf, kInf}, {kNaN, kNaN}};
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

// Our own functions against a long double reference, each to the bound its comment states, over the
// ranges the blocks feed them, near the values where the arithmetic changes course, and far beyond.
TEST(FastMath, OwnFunctionsStayWithinTheirStatedBounds) {
  struct Bound {
    std::string name;
    std::function<double(double)> fast;
    std::function<long double(long double)> reference;
    double from;
    double to;
    bool logarithmic;
    // Relative error, or absolute error where `absolute` is set.
    double bound;
    bool absolute = false;
  };
  using L = long double;
  const auto sine = [](double x) { return FastSinCos(x).sine; };
  const auto cosine = [](double x) { return FastSinCos(x).cosine; };
  const std::vector<Bound> bounds = {
      {"table exp", TableExp, [](L x) { return std::exp(x); }, -707.0, 709.0, false, 1e-15},
      {"table exp near 0", TableExp, [](L x) { return std::exp(x); }, -1e-3, 1e-3, false, 1e-15},
      {"table exp at the table's steps", TableExp, [](L x) { return std::exp(x); }, -0.1, 0.1, false, 1e-15},
      {"log", FastLog, [](L x) { return std::log(x); }, 1e-300, 1e300, true, 4e-16},
      {"log of subnormals", FastLog, [](L x) { return std::log(x); }, 4.9e-324, 2.3e-308, true, 4e-16},
      {"log just below 1", FastLog, [](L x) { return std::log(x); }, 0.99, 1.0, false, 4e-16},
      {"log just above 1", FastLog, [](L x) { return std::log(x); }, 1.0, 1.01, false, 4e-16},
      {"log within 1e-9 of 1", FastLog, [](L x) { return std::log(x); }, 1.0 - 1e-9, 1.0 + 1e-9, false, 4e-16},
      {"log10", FastLog10, [](L x) { return std::log10(x); }, 1e-300, 1e300, true, 6e-16},
      {"log10 of levels", FastLog10, [](L x) { return std::log10(x); }, 1e-10, 10.0, true, 6e-16},
      {"pow10", FastPow10, [](L x) { return std::pow(10.0L, x); }, -8.0, 8.0, false, 5e-15},
      {"pow10 of cuts in dB / 40", FastPow10, [](L x) { return std::pow(10.0L, x); }, -0.5, 0.0, false, 5e-15},
      {"dB to gain", FastDbToGain, [](L x) { return std::pow(10.0L, x / 20.0L); }, -160.0, 160.0, false, 5e-15},
      {"pow, 1.5th powers", [](double x) { return FastPow(x, 1.5); }, [](L x) { return std::pow(x, 1.5L); }, 0.005, 1.0,
       true, 5e-15},
      {"pow, 0.4th powers", [](double x) { return FastPow(x, 0.4); }, [](L x) { return std::pow(x, 0.4L); }, 1.0, 1e8,
       true, 5e-15},
      {"pow, large powers", [](double x) { return FastPow(1.0001, x); },
       [](L x) { return std::pow(static_cast<L>(1.0001), x); }, -80000.0, 80000.0, false, 5e-15},
      {"sin", sine, [](L x) { return std::sin(x); }, -7.0, 7.0, false, 3e-16, true},
      {"cos", cosine, [](L x) { return std::cos(x); }, -7.0, 7.0, false, 3e-16, true},
      {"sin of small angles", sine, [](L x) { return std::sin(x); }, 1e-12, 0.1, true, 3e-16},
      // Not further: the Windows build's long double sine loses precision beyond.
      {"sin far out", sine, [](L x) { return std::sin(x); }, -1e4, 1e4, false, 3e-16, true},
      {"cos far out", cosine, [](L x) { return std::cos(x); }, -1e4, 1e4, false, 3e-16, true},
  };
  for (const Bound& b : bounds) {
    const Worst worst = WorstOver(b.from, b.to, b.logarithmic, [&](double x) {
      const long double expected = b.reference(x);
      const long double difference = std::fabs(static_cast<long double>(b.fast(x)) - expected);
      return static_cast<double>(b.absolute || expected == 0.0L ? difference : difference / std::fabs(expected));
    });
    EXPECT_LE(worst.error, b.bound) << b.name << " at " << worst.at;
  }
}

// Each lane of the two-channel function holds the scalar's very bits, whatever the other lane holds.
void ExpectEachLaneGivesTheScalarsBits(const std::vector<double>& values, StereoFrame (*stereo)(StereoFrame),
                                       double (*scalar)(double)) {
  for (std::size_t i = 0; i < values.size(); ++i) {
    const double left = values[i];
    const double right = values[(i * 7919) % values.size()];
    const StereoFrame both = stereo(StereoFrame{left, right});
    EXPECT_EQ(std::bit_cast<std::uint64_t>(both[0]), std::bit_cast<std::uint64_t>(scalar(left))) << left;
    EXPECT_EQ(std::bit_cast<std::uint64_t>(both[1]), std::bit_cast<std::uint64_t>(scalar(right))) << right;
  }
}

TEST(FastMath, StereoTanhGivesEachChannelTheScalarsBits) {
  constexpr double kInf = std::numeric_limits<double>::infinity();
  std::vector<double> values = {0.0,
                                -0.0,
                                0.125,
                                -0.125,
                                std::nextafter(0.125, 0.0),
                                20.0,
                                -20.0,
                                std::nextafter(20.0, 0.0),
                                1e-300,
                                -1e-310,
                                700.0,
                                -kInf,
                                kInf,
                                std::numeric_limits<double>::quiet_NaN()};
  for (int i = 0; i <= 20000; ++i) {
    values.push_back(-25.0 + 50.0 * i / 20000.0);
  }
  ExpectEachLaneGivesTheScalarsBits(values, StereoFastTanh, FastTanh);
}

// TableExp is the scalar of StereoExp: the same arithmetic.
TEST(FastMath, StereoExpGivesEachChannelTableExpsBits) {
  constexpr double kInf = std::numeric_limits<double>::infinity();
  std::vector<double> values = {0.0,
                                -0.0,
                                -708.0,
                                std::nextafter(-708.0, 0.0),
                                709.0,
                                709.5,
                                -kInf,
                                kInf,
                                std::numeric_limits<double>::quiet_NaN(),
                                -745.2,
                                1e-300};
  for (int i = 0; i <= 20000; ++i) {
    values.push_back(-720.0 + 1440.0 * i / 20000.0);
    values.push_back(-0.05 + 0.1 * i / 20000.0);
  }
  ExpectEachLaneGivesTheScalarsBits(values, StereoExp, TableExp);
}

// Logarithms of levels, near 1, across the whole range, and the values the scalar handles alone.
TEST(FastMath, StereoLogsAndPowersGiveEachChannelTheScalarsBits) {
  constexpr double kInf = std::numeric_limits<double>::infinity();
  std::vector<double> logValues = {1.0,
                                   2.0,
                                   0.5,
                                   std::nextafter(1.0, 0.0),
                                   std::nextafter(1.0, 2.0),
                                   0.0,
                                   -0.0,
                                   -1.0,
                                   1e-310,
                                   4.9e-324,
                                   kInf,
                                   -kInf,
                                   std::numeric_limits<double>::quiet_NaN(),
                                   std::numeric_limits<double>::min(),
                                   std::numeric_limits<double>::max()};
  std::vector<double> powValues = {0.0, -0.0, kInf, -kInf, std::numeric_limits<double>::quiet_NaN(), 300.0, -300.0};
  for (int i = 0; i <= 20000; ++i) {
    logValues.push_back(std::exp(-700.0 + 1400.0 * i / 20000.0));
    logValues.push_back(0.99 + 0.02 * i / 20000.0);
    powValues.push_back(-12.0 + 24.0 * i / 20000.0);
  }
  ExpectEachLaneGivesTheScalarsBits(logValues, StereoLog, FastLog);
  ExpectEachLaneGivesTheScalarsBits(logValues, StereoLog10, FastLog10);
  ExpectEachLaneGivesTheScalarsBits(powValues, StereoPow10, FastPow10);
}

}  // namespace
