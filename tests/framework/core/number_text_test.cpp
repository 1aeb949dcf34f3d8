#include "framework/core/number_text.h"

#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <sstream>
#include <string>

#include "comma_locale.h"

namespace plugkit {
namespace {

constexpr double kInf = std::numeric_limits<double>::infinity();
constexpr double kNaN = std::numeric_limits<double>::quiet_NaN();

struct FixedCase {
  double value;
  int32_t precision;
  bool forceSign;
  const char* expected;
};

class FormatFixedCases : public ::testing::TestWithParam<FixedCase> {};

TEST_P(FormatFixedCases, MatchesCLocalePrintf) {
  const FixedCase& c = GetParam();
  const NumberText text = FormatFixed(c.value, c.precision, c.forceSign);
  EXPECT_STREQ(text.Text(), c.expected);
  EXPECT_EQ(text.Length(), static_cast<int32_t>(std::string(c.expected).size()));
}

INSTANTIATE_TEST_SUITE_P(
    Table, FormatFixedCases,
    ::testing::Values(FixedCase{-12.0, 6, false, "-12.000000"}, FixedCase{0.0, 6, false, "0.000000"},
                      FixedCase{0.125, 2, false, "0.12"},  // exact tie: to even, as glibc (msvcrt gives 0.13)
                      FixedCase{0.375, 2, false, "0.38"}, FixedCase{2.5, 0, false, "2"},
                      FixedCase{1.005, 2, false, "1.00"},  // 1.005 is 1.00499999... in binary
                      FixedCase{-0.04, 1, false, "-0.0"}, FixedCase{3.0, 1, true, "+3.0"},
                      FixedCase{-3.0, 1, true, "-3.0"}, FixedCase{0.5, 2, true, "+0.50"},
                      FixedCase{1e21, 0, false, "1000000000000000000000"},
                      FixedCase{0.1, 20, false, "0.10000000000000000555"},
                      FixedCase{1.5, -3, false, "2"},  // precision limited to 0..32
                      FixedCase{kInf, 2, false, "inf"}, FixedCase{-kInf, 2, false, "-inf"},
                      FixedCase{kInf, 2, true, "+inf"}, FixedCase{kNaN, 2, false, "nan"}));

TEST(NumberText, LargestDoubleFitsAtMaximumPrecision) {
  const NumberText text = FormatFixed(-std::numeric_limits<double>::max(), 99);
  EXPECT_EQ(text.Length(), 1 + 309 + 1 + NumberText::kMaxPrecision);
  EXPECT_EQ(text.View().substr(0, 5), "-1797");
}

TEST(NumberText, FormatInteger) {
  EXPECT_STREQ(FormatInteger(0).Text(), "0");
  EXPECT_STREQ(FormatInteger(-2147483648LL).Text(), "-2147483648");
  EXPECT_STREQ(FormatInteger(std::numeric_limits<int64_t>::max()).Text(), "9223372036854775807");
}

TEST(NumberText, RoundToInt32RoundsHalvesAwayFromZeroAndSaturates) {
  EXPECT_EQ(RoundToInt32(2.5), 3);
  EXPECT_EQ(RoundToInt32(-2.5), -3);
  EXPECT_EQ(RoundToInt32(2.4999), 2);
  EXPECT_EQ(RoundToInt32(kNaN), 0);
  EXPECT_EQ(RoundToInt32(1e20), std::numeric_limits<int32_t>::max());
  EXPECT_EQ(RoundToInt32(-kInf), std::numeric_limits<int32_t>::min());
}

struct ParseCase {
  const char* text;
  double expected;
  std::size_t consumed;
};

class ParseCases : public ::testing::TestWithParam<ParseCase> {};

TEST_P(ParseCases, ReadsTheLeadingNumberLikeStrtodInTheCLocale) {
  const ParseCase& c = GetParam();
  std::size_t consumed = 99;
  const double value = ParseLeadingNumber(c.text, &consumed);
  if (std::isnan(c.expected)) {
    EXPECT_TRUE(std::isnan(value)) << c.text;
  } else {
    EXPECT_EQ(value, c.expected) << c.text;
    EXPECT_EQ(std::signbit(value), std::signbit(c.expected)) << c.text;
  }
  EXPECT_EQ(consumed, c.consumed) << c.text;
}

INSTANTIATE_TEST_SUITE_P(Table, ParseCases,
                         ::testing::Values(ParseCase{"12.5dB", 12.5, 4}, ParseCase{"  +3", 3.0, 4},
                                           ParseCase{"\t\n-0.25x", -0.25, 7}, ParseCase{".5", 0.5, 2},
                                           ParseCase{"1e3Hz", 1000.0, 3}, ParseCase{"2e", 2.0, 1},
                                           ParseCase{"1,5", 1.0, 1},  // the comma is never a decimal separator
                                           ParseCase{"abc", 0.0, 0}, ParseCase{"", 0.0, 0}, ParseCase{"   ", 0.0, 0},
                                           ParseCase{"+-1", 0.0, 0}, ParseCase{"--1", 0.0, 0}, ParseCase{"-", 0.0, 0},
                                           ParseCase{"0x10", 0.0, 1},  // decimal only
                                           ParseCase{"1e999", kInf, 5}, ParseCase{"-1e999", -kInf, 6},
                                           ParseCase{"1e-999", 0.0, 6}, ParseCase{"-1e-999", -0.0, 7},
                                           ParseCase{"0.000001e-999", 0.0, 13}, ParseCase{"inf", kInf, 3},
                                           ParseCase{"-Infinity", -kInf, 9}, ParseCase{"nan", kNaN, 3}));

TEST(NumberText, NullTextParsesAsZero) {
  std::size_t consumed = 5;
  EXPECT_EQ(ParseLeadingNumber(static_cast<const char*>(nullptr), &consumed), 0.0);
  EXPECT_EQ(consumed, 0u);
}

TEST(NumberText, TextDoesNotFollowACommaDecimalLocale) {
  testing::CommaLocale comma;
  // The C++ locale is always switched; the C locale only where a comma locale is installed.
  std::ostringstream stream;
  stream << 1.5;
  EXPECT_EQ(stream.str(), "1,5");
  EXPECT_STREQ(FormatFixed(-12.0, 6).Text(), "-12.000000");
  EXPECT_STREQ(FormatFixed(0.5, 1, true).Text(), "+0.5");
  EXPECT_EQ(ParseLeadingNumber("1.5"), 1.5);
  EXPECT_EQ(ParseLeadingNumber("1,5"), 1.0);
  if (!comma.Active()) GTEST_SKIP() << "no comma-decimal C locale installed; only the C++ locale was switched";
  EXPECT_STREQ(FormatFixed(-12.0, 6).Text(), "-12.000000") << comma.Name();
  EXPECT_EQ(ParseLeadingNumber("2.25dB"), 2.25) << comma.Name();
}

}  // namespace
}  // namespace plugkit
