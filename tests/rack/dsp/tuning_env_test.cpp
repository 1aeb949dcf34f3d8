#include <gtest/gtest.h>

#include <cstdint>
#include <cstring>
#include <limits>
#include <optional>
#include <string>

#include "framework/core/comma_locale.h"
#include "rack/dsp/tuning_env.h"
#include "scoped_environment_variable.h"

using namespace tarnwell::dsp;

namespace {

struct RealCase {
  std::string text;
  std::optional<double> expected;
};

class EnvRealParsing : public ::testing::TestWithParam<RealCase> {};

TEST_P(EnvRealParsing, TakesLeadingNumberOrZero) {
  EXPECT_EQ(ParseEnvReal(GetParam().text), GetParam().expected) << "text \"" << GetParam().text << "\"";
}

INSTANTIATE_TEST_SUITE_P(
    Texts, EnvRealParsing,
    ::testing::Values(RealCase{"1.5", 1.5}, RealCase{"  -2e3 dB", -2000.0}, RealCase{"+4", 4.0}, RealCase{".25", 0.25},
                      RealCase{"1,5", 1.0}, RealCase{"abc", 0.0}, RealCase{"", 0.0}, RealCase{"+-3", 0.0},
                      // Values that are not finite would poison the filters they tune: they are ignored.
                      RealCase{"nan", std::nullopt}, RealCase{"-inf", std::nullopt}, RealCase{"1e999", std::nullopt}));

struct IntegerCase {
  std::string text;
  std::int32_t expected;
};

class EnvIntegerParsing : public ::testing::TestWithParam<IntegerCase> {};

TEST_P(EnvIntegerParsing, TakesLeadingIntegerOrZero) {
  EXPECT_EQ(ParseEnvInteger(GetParam().text), GetParam().expected) << "text \"" << GetParam().text << "\"";
}

INSTANTIATE_TEST_SUITE_P(Texts, EnvIntegerParsing,
                         ::testing::Values(IntegerCase{"42", 42}, IntegerCase{" -3", -3}, IntegerCase{"+2", 2},
                                           IntegerCase{"12.9", 12}, IntegerCase{"x1", 0}, IntegerCase{"", 0},
                                           IntegerCase{"99999999999", std::numeric_limits<std::int32_t>::max()},
                                           IntegerCase{"-99999999999", std::numeric_limits<std::int32_t>::min()}));

// Some hosts switch the process to a locale with a decimal comma; tuning must read the same there.
TEST(EnvParsing, IgnoresProcessLocale) {
  const plugkit::testing::CommaLocale commaLocale;
  if (!commaLocale.Active()) {
    GTEST_SKIP() << "no locale with a decimal comma is installed";
  }
  EXPECT_EQ(ParseEnvReal("1.5"), 1.5);
  EXPECT_EQ(ParseEnvReal("1,5"), 1.0);
  EXPECT_EQ(ParseEnvInteger("1.5"), 1);
}

// A fake environment with one variable whose text the test can change or remove.
const char* fakeValue = nullptr;
const char* FakeLookup(const char* name) { return std::strcmp(name, "TARNWELL_TEST_VALUE") == 0 ? fakeValue : nullptr; }

TEST(TuningEnvironment, KeepsLastValueWhileVariableIsAbsent) {
  const TuningEnvironment environment(&FakeLookup);
  double real = 7.0;
  std::int32_t integer = 7;

  fakeValue = nullptr;
  EXPECT_FALSE(environment.ReadReal("TARNWELL_TEST_VALUE", real));
  EXPECT_FALSE(environment.ReadInteger("TARNWELL_TEST_VALUE", integer));
  EXPECT_EQ(real, 7.0);
  EXPECT_EQ(integer, 7);

  fakeValue = "2.5";
  EXPECT_TRUE(environment.ReadReal("TARNWELL_TEST_VALUE", real));
  EXPECT_TRUE(environment.ReadInteger("TARNWELL_TEST_VALUE", integer));
  EXPECT_EQ(real, 2.5);
  EXPECT_EQ(integer, 2);

  fakeValue = nullptr;
  environment.ReadReal("TARNWELL_TEST_VALUE", real);
  EXPECT_EQ(real, 2.5);

  fakeValue = "inf";
  EXPECT_FALSE(environment.ReadReal("TARNWELL_TEST_VALUE", real));
  EXPECT_EQ(real, 2.5);

  fakeValue = "garbage";
  environment.ReadReal("TARNWELL_TEST_VALUE", real);
  EXPECT_EQ(real, 0.0);
}

// The host may set variables after the module was loaded; on Windows the C runtime's copy of the
// environment would not see them.
TEST(TuningEnvironment, ReadsLiveProcessEnvironment) {
  const TuningEnvironment environment;
  double real = 7.0;
  std::int32_t integer = 7;
  {
    const ScopedEnvironmentVariable set("TARNWELL_TEST_LIVE", "2.5");
    EXPECT_TRUE(environment.ReadReal("TARNWELL_TEST_LIVE", real));
    EXPECT_TRUE(environment.ReadInteger("TARNWELL_TEST_LIVE", integer));
  }
  EXPECT_EQ(real, 2.5);
  EXPECT_EQ(integer, 2);
  const ScopedEnvironmentVariable removed("TARNWELL_TEST_LIVE", std::nullopt);
  EXPECT_FALSE(environment.ReadReal("TARNWELL_TEST_LIVE", real));
  EXPECT_EQ(real, 2.5);
}

}  // namespace
