// The detector's log(1 + x) against a long double reference: the float nearest the true value,
// except within its stated margin of halfway between two floats.
#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <vector>

#include "tempo/log_one_plus.h"

namespace {

// How far `got` may lie from `exact`: half a float step, plus the double result's stated 1e-15.
bool WithinBound(float got, long double exact) {
  const long double step = std::nextafter(got, std::numeric_limits<float>::infinity()) - got;
  return std::fabs(static_cast<long double>(got) - exact) <= 0.5L * step + 1e-15L * std::fabs(exact);
}

TEST(LogOnePlus, GivesTheNearestFloatAcrossTheMagnitudesASpectrumHolds) {
  std::vector<float> values;
  // Every float between the branch for tiny values and beyond any magnitude, evenly in the logarithm,
  // and dense runs where the arithmetic changes course: 2^-29, sqrt(2) - 1 and 1.
  for (int i = 0; i <= 400000; ++i) values.push_back(static_cast<float>(std::exp(-80.0 + 160.0 * i / 400000.0)));
  for (const float centre : {0x1p-29f, 0.41421356f, 1.0f}) {
    float x = centre;
    for (int i = 0; i < 2000; ++i) x = std::nextafter(x, 0.0f);
    for (int i = 0; i < 4000; ++i, x = std::nextafter(x, 2.0f)) values.push_back(x);
  }
  int outside = 0;
  for (const float x : values) {
    const float got = LogOnePlus(x);
    if (!WithinBound(got, std::log1p(static_cast<long double>(x)))) {
      ADD_FAILURE() << "log(1 + " << x << ") gave " << got;
      if (++outside > 10) break;
    }
  }
}

TEST(LogOnePlus, AnswersTheEdges) {
  constexpr float kInf = std::numeric_limits<float>::infinity();
  EXPECT_EQ(LogOnePlus(0.0f), 0.0f);
  EXPECT_EQ(LogOnePlus(1e-40f), 1e-40f) << "a subnormal magnitude is its own logarithm";
  EXPECT_EQ(LogOnePlus(kInf), kInf);
  EXPECT_TRUE(std::isnan(LogOnePlus(std::numeric_limits<float>::quiet_NaN())));
  EXPECT_EQ(LogOnePlus(std::numeric_limits<float>::max()), std::log1p(std::numeric_limits<float>::max()));
}

}  // namespace
