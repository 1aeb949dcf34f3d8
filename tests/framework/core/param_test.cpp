#include "framework/core/param.h"

#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <memory>
#include <string>

#include "comma_locale.h"

namespace plugkit {
namespace {

constexpr double kInf = std::numeric_limits<double>::infinity();
constexpr double kNaN = std::numeric_limits<double>::quiet_NaN();

std::string Format(const IParam& param, double value, bool useDisplayTexts = true, bool isNormalised = false) {
  GrowString out;
  param.FormatValue(value, isNormalised, out, useDisplayTexts);
  return out.Get();
}

std::string Json(const IParam& param, int32_t index) {
  GrowString out;
  EXPECT_TRUE(param.AppendJsonDescription(out, index));
  return out.Get();
}

TEST(IParam, NewParameterDefaults) {
  IParam p;
  EXPECT_EQ(p.Type(), ParamType::None);
  EXPECT_EQ(p.Unit(), 21);
  EXPECT_EQ(p.Value(), 0.0);
  EXPECT_EQ(p.Min(), 0.0);
  EXPECT_EQ(p.Max(), 1.0);
  EXPECT_EQ(p.Step(), 1.0);
  EXPECT_EQ(p.Default(), 0.0);
  EXPECT_EQ(p.DisplayPrecision(), 0);
  EXPECT_EQ(p.Flags(), 0);
  EXPECT_STREQ(p.NameText(), "");
  EXPECT_STREQ(p.Label(), "");
  EXPECT_STREQ(p.GroupName(), "");
  EXPECT_EQ(p.GetShape().DisplayKind(), 0);
  EXPECT_EQ(p.DisplayTextCount(), 0);
  EXPECT_FALSE(p.HasDisplayFunction());
}

TEST(IParam, SetupContinuousCopiesFieldsAndClampsTheDefault) {
  IParam p;
  p.SetupContinuous("Input", 30.0, -12.0, 12.0, 0.1, "dB", ParamFlag::NotAutomatable, "Gains");
  EXPECT_EQ(p.Type(), ParamType::Double);
  EXPECT_STREQ(p.NameText(), "Input");
  EXPECT_STREQ(p.Label(), "dB");
  EXPECT_STREQ(p.GroupName(), "Gains");
  EXPECT_EQ(p.Default(), 30.0);
  EXPECT_EQ(p.Value(), 12.0);
  EXPECT_EQ(p.Flags(), ParamFlag::NotAutomatable);
  EXPECT_EQ(p.DisplayPrecision(), 1);
}

TEST(IParam, RangeShorterThanOneStepIsWidened) {
  IParam p;
  p.SetupContinuous("Short", 0.0, 0.0, 0.05, 0.1);
  EXPECT_EQ(p.Max(), 0.1);
}

TEST(IParam, SteppedSnapsHalvesAwayFromZeroThenClamps) {
  IParam p;
  p.SetupContinuous("Steps", 0.0, 0.0, 10.0, 0.5, "", ParamFlag::Stepped);
  EXPECT_EQ(p.ClampAndSnap(2.26), 2.5);
  EXPECT_EQ(p.ClampAndSnap(2.25), 2.5);
  EXPECT_EQ(p.ClampAndSnap(2.24), 2.0);
  EXPECT_EQ(p.ClampAndSnap(-3.0), 0.0);
  EXPECT_EQ(p.ClampAndSnap(99.0), 10.0);
}

TEST(IParam, NotSteppedOnlyClamps) {
  IParam p;
  p.SetupContinuous("Free", 0.0, -1.0, 1.0, 0.5);
  EXPECT_EQ(p.ClampAndSnap(0.3), 0.3);
}

TEST(IParam, ClampAndSnapMapsNaNToMinAndInfinitiesToTheEnds) {
  for (const int32_t flags : {0, ParamFlag::Stepped}) {
    IParam p;
    p.SetupContinuous("Edge", 0.0, -2.0, 3.0, 0.5, "", flags);
    EXPECT_EQ(p.ClampAndSnap(kNaN), -2.0) << flags;
    EXPECT_EQ(p.ClampAndSnap(kInf), 3.0) << flags;
    EXPECT_EQ(p.ClampAndSnap(-kInf), -2.0) << flags;
    EXPECT_EQ(p.SetValue(kNaN), -2.0);
    EXPECT_EQ(p.Value(), -2.0);
  }
}

TEST(IParam, DisplayPrecisionFollowsTheStep) {
  const std::pair<double, int32_t> cases[] = {{1.0, 0}, {0.1, 1}, {0.25, 2}, {3.0, 0}, {0.01, 2}, {1e-9, 6}};
  for (const auto& [step, precision] : cases) {
    IParam p;
    p.SetupContinuous("P", 0.0, 0.0, 100.0, step);
    EXPECT_EQ(p.DisplayPrecision(), precision) << step;
  }
}

TEST(IParam, StepZeroMeansNoSnappingPrecisionZeroAndNormalisedZeroForAnEmptyRange) {
  IParam p;
  p.SetupContinuous("Fixed", 5.0, 5.0, 5.0, 0.0, "", ParamFlag::Stepped);
  EXPECT_EQ(p.Step(), 0.0);
  EXPECT_EQ(p.Max(), 5.0);
  EXPECT_EQ(p.DisplayPrecision(), 0);
  EXPECT_EQ(p.ClampAndSnap(7.0), 5.0);
  EXPECT_EQ(p.NormaliseValue(5.0), 0.0);
  EXPECT_EQ(p.NormaliseValue(kNaN), 0.0);

  IParam q;
  q.SetupContinuous("Free", 0.0, 0.0, 1.0, 0.0, "", ParamFlag::Stepped);
  EXPECT_EQ(q.ClampAndSnap(0.123), 0.123);  // Stepped without a step: no snapping
  EXPECT_DOUBLE_EQ(q.NormaliseValue(0.25), 0.25);

  IParam r;  // a step that is not a positive finite number counts as 0
  r.SetupContinuous("Odd", 0.0, 0.0, 1.0, kInf, "", ParamFlag::Stepped);
  EXPECT_EQ(r.Step(), 0.0);
  EXPECT_EQ(r.Max(), 1.0);
  EXPECT_EQ(r.ClampAndSnap(0.3), 0.3);
}

TEST(IParam, NormaliseValueStaysInsideZeroToOne) {
  IParam p;
  p.SetupContinuous("Gain", 0.0, -12.0, 12.0, 0.1);
  EXPECT_EQ(p.NormaliseValue(-40.0), 0.0);
  EXPECT_EQ(p.NormaliseValue(40.0), 1.0);
  EXPECT_EQ(p.NormaliseValue(0.0), 0.5);
  EXPECT_EQ(p.NormaliseValue(kNaN), 0.0);
  EXPECT_EQ(p.FromNormalised(0.75), 6.0);
  EXPECT_EQ(p.FromNormalised(2.0), 12.0);
  EXPECT_EQ(p.SetNormalised(0.25), -6.0);
  EXPECT_EQ(p.Value(), -6.0);
}

TEST(IParam, IntegerPrecisionPrintsRoundedIntegers) {
  IParam p;
  p.SetupContinuous("Steps", 0.0, -100.0, 100.0, 3.0);
  EXPECT_EQ(p.DisplayPrecision(), 0);
  EXPECT_EQ(Format(p, 7.5), "8");
  EXPECT_EQ(Format(p, -2.5), "-3");
  EXPECT_EQ(Format(p, 0.0), "0");
}

TEST(IParam, SignedAndNegatedDisplay) {
  IParam signedParam;
  signedParam.SetupContinuous("Tilt", 0.0, -6.0, 6.0, 0.1, "dB", ParamFlag::SignedDisplay);
  EXPECT_EQ(Format(signedParam, 3.0), "+3.0");
  EXPECT_EQ(Format(signedParam, 0.0), "0.0");
  EXPECT_EQ(Format(signedParam, -2.0), "-2.0");
  EXPECT_EQ(Format(signedParam, -0.04), "-0.0");  // kept as printf prints it (ambiguity 10)

  IParam negated;
  negated.SetupContinuous("Reduction", 0.0, 0.0, 10.0, 0.1, "", ParamFlag::NegateDisplay);
  EXPECT_EQ(Format(negated, 0.0), "0.0");  // never "-0.0"
  EXPECT_EQ(Format(negated, 2.0), "-2.0");
  IParam negatedInt;
  negatedInt.SetupContinuous("Reduction", 0.0, 0.0, 10.0, 1.0, "", ParamFlag::NegateDisplay);
  EXPECT_EQ(Format(negatedInt, 0.0), "0");
}

TEST(IParam, FormatValueCutsLongNumbersToThirtyTwoCharacters) {
  IParam p;
  p.SetupContinuous("Huge", 0.0, 0.0, 1e60, 0.5);
  EXPECT_EQ(Format(p, 1e40), "10000000000000000303786028427003");
}

TEST(IParam, FormatValueOfNormalisedValue) {
  IParam p;
  p.SetupContinuous("Gain", 0.0, -12.0, 12.0, 0.01);
  EXPECT_EQ(Format(p, 0.75, true, true), "6.00");
}

TEST(IParam, SwitchStaysBoolAndPrintsItsTexts) {
  IParam p;
  p.SetupSwitch("Safety", true, "", 0, "", "off", "on");
  EXPECT_EQ(p.Type(), ParamType::Bool);
  EXPECT_TRUE(p.HasFlag(ParamFlag::Stepped));
  EXPECT_EQ(p.Min(), 0.0);
  EXPECT_EQ(p.Max(), 1.0);
  EXPECT_EQ(p.Value(), 1.0);
  ASSERT_EQ(p.DisplayTextCount(), 2);
  EXPECT_EQ(Format(p, 0.0), "off");
  EXPECT_EQ(Format(p, 1.0), "on");
  EXPECT_EQ(Format(p, 0.0, false), "0");
  EXPECT_EQ(Format(p, 1.0, false), "1");
  EXPECT_EQ(Format(p, 0.7, true, true), "on");
  EXPECT_EQ(p.ParseValue("on"), 1.0);
  EXPECT_EQ(p.ParseValue("On"), 0.0);  // exact, case-sensitive; a Bool has no numeric fallback
  EXPECT_EQ(p.ParseValue("1"), 0.0);
}

TEST(IParam, ChoiceListIsAnEnumOverItsItems) {
  IParam p;
  p.SetupChoiceList("Character", 1, {"Soft", "Warm", "Hard"}, 0, "Bay 1");
  EXPECT_EQ(p.Type(), ParamType::Enum);
  EXPECT_EQ(p.Max(), 2.0);
  EXPECT_EQ(p.Step(), 1.0);
  EXPECT_TRUE(p.HasFlag(ParamFlag::Stepped));
  EXPECT_STREQ(p.Label(), "");
  EXPECT_EQ(p.Value(), 1.0);
  ASSERT_EQ(p.DisplayTextCount(), 3);
  EXPECT_EQ(p.DisplayTextAt(2)->value, 2.0);
  EXPECT_STREQ(p.DisplayTextAt(2)->text, "Hard");
  EXPECT_EQ(p.DisplayTextAt(3), nullptr);
  EXPECT_EQ(p.DisplayTextAt(-1), nullptr);
  EXPECT_EQ(Format(p, 1.0, true, true), "Hard");
  EXPECT_EQ(p.ParseValue("Warm"), 1.0);
  EXPECT_EQ(p.ParseValue("12.5dB"), 0.0);  // Enum without such an item
}

TEST(IParam, ChoiceArgsAddsTextsOnlyWhenTheFirstIsGiven) {
  IParam without;
  without.SetupChoiceArgs("Mode", 0, 4, "x", 0, "", {nullptr});
  EXPECT_EQ(without.Type(), ParamType::Enum);
  EXPECT_EQ(without.Max(), 3.0);
  EXPECT_STREQ(without.Label(), "x");
  EXPECT_EQ(without.DisplayTextCount(), 0);
  EXPECT_EQ(Format(without, 2.0), "2");

  IParam with;
  with.SetupChoiceArgs("Mode", 0, 2, "", 0, "", {"A", "B", "ignored beyond count"});
  EXPECT_EQ(with.DisplayTextCount(), 2);
}

TEST(IParam, FirstSetupFixesTheType) {
  IParam p;
  p.SetupContinuous("Gain", 0.0, 0.0, 1.0, 0.1);
  p.SetupChoiceList("Gain", 0, {"a"});
  EXPECT_EQ(p.Type(), ParamType::Double);
}

TEST(IParam, DisplayTextsMatchExactlyFirstEntryWinsAndEmptyTextFallsBackToTheNumber) {
  IParam p;
  p.SetupContinuous("Amount", 0.0, 0.0, 10.0, 0.5);
  ASSERT_TRUE(p.AddDisplayText(0.0, "Off"));
  ASSERT_TRUE(p.AddDisplayText(0.0, "Zero"));  // appended, not replacing
  ASSERT_TRUE(p.AddDisplayText(5.0, ""));
  ASSERT_TRUE(p.AddDisplayText(5.0, "Half"));
  EXPECT_EQ(p.DisplayTextCount(), 4);
  EXPECT_EQ(Format(p, 0.0), "Off");
  EXPECT_EQ(Format(p, 5.0), "5.0");  // the first match is empty: the scan stops
  EXPECT_EQ(Format(p, 0.5), "0.5");
  EXPECT_EQ(p.ParseValue("Zero"), 0.0);
  EXPECT_EQ(p.ParseValue("Half"), 5.0);
}

TEST(IParam, ParseValueReadsTheLeadingNumberOfNumericParameters) {
  IParam p;
  p.SetupContinuous("Gain", 0.0, -24.0, 24.0, 0.1, "dB");
  EXPECT_EQ(p.ParseValue("12.5dB"), 12.5);
  EXPECT_EQ(p.ParseValue(" +3"), 3.0);
  EXPECT_EQ(p.ParseValue("99"), 24.0);
  EXPECT_EQ(p.ParseValue("loud"), 0.0);
  EXPECT_EQ(p.ParseValue(nullptr), 0.0);
  EXPECT_EQ(p.ParseValue("nan"), -24.0);

  IParam negated;
  negated.SetupContinuous("Reduction", 0.0, -10.0, 10.0, 0.1, "", ParamFlag::NegateDisplay);
  EXPECT_EQ(negated.ParseValue("3"), -3.0);
}

TEST(IParam, UnitTextIsEmptyWhereADisplayTextStandsForTheValue) {
  IParam sw;
  sw.SetupSwitch("On", false, "state", 0, "", "off", "on");
  EXPECT_STREQ(sw.UnitText(), "");
  IParam gain;
  gain.SetupContinuous("Gain", 0.0, -12.0, 12.0, 0.1, "dB");
  EXPECT_STREQ(gain.UnitText(), "dB");
  IParam blank;
  blank.SetupContinuous("Amount", 0.7, 0.0, 1.0, 0.1, "%");
  ASSERT_TRUE(blank.AddDisplayText(0.0, ""));  // 0.7 truncates to 0, whose text is empty
  EXPECT_STREQ(blank.UnitText(), "%");
}

TEST(IParam, DisplayFunctionReplacesTheBuiltInRules) {
  IParam p;
  p.SetupContinuous("Time", 0.0, 0.0, 1.0, 0.01, "", 0, "", IParam::ShapeLinear(), 21,
                    [](double value, GrowString& out) { out.SetFormatted(32, "t=%d", static_cast<int>(value * 100)); });
  EXPECT_TRUE(p.HasDisplayFunction());
  EXPECT_EQ(Format(p, 0.5), "t=50");
}

TEST(IParam, TextsAreCutToThirtyOneBytesWithoutSplittingACharacter) {
  IParam p;
  const std::string longName(40, 'n');
  // 30 ASCII bytes then a two-byte character: the cut at 31 would split it.
  const std::string utf8Label = std::string(30, 'l') + "\xC3\xA9" + "tail";
  p.SetupContinuous(longName.c_str(), 0.0, 0.0, 1.0, 0.1, utf8Label.c_str(), 0, longName.c_str());
  EXPECT_EQ(std::string(p.NameText()), std::string(31, 'n'));
  EXPECT_EQ(std::string(p.GroupName()), std::string(31, 'n'));
  EXPECT_EQ(std::string(p.Label()), std::string(30, 'l'));
  ASSERT_TRUE(p.AddDisplayText(1.0, longName.c_str()));
  EXPECT_EQ(std::string(p.DisplayTextAt(0)->text), std::string(31, 'n'));
}

TEST(IParam, JsonDescriptionMatchesThePart) {
  IParam p;
  p.SetupContinuous("Input", 0.0, -12.0, 12.0, 0.1);
  EXPECT_EQ(Json(p, 0),
            "{\"id\":0, \"name\":\"Input\", \"type\":\"float\", \"min\":-12.000000, \"max\":12.000000, "
            "\"default\":0.000000, \"display_type\":0, \"rate\":\"control\"}");
}

TEST(IParam, JsonDescriptionTypesAndAppending) {
  IParam sw;
  sw.SetupSwitch("Safety", true);
  IParam choice;
  choice.SetupChoiceList("Type", 0, {"a", "b"});
  IParam none;
  GrowString out("[");
  ASSERT_TRUE(sw.AppendJsonDescription(out, 51));
  ASSERT_TRUE(choice.AppendJsonDescription(out, 52));
  ASSERT_TRUE(none.AppendJsonDescription(out, 53));
  EXPECT_EQ(std::string(out.Get()),
            "[{\"id\":51, \"name\":\"Safety\", \"type\":\"bool\", \"min\":0.000000, \"max\":1.000000, "
            "\"default\":1.000000, \"display_type\":0, \"rate\":\"control\"}"
            "{\"id\":52, \"name\":\"Type\", \"type\":\"enum\", \"min\":0.000000, \"max\":1.000000, "
            "\"default\":0.000000, \"display_type\":0, \"rate\":\"control\"}"
            "{\"id\":53, \"name\":\"\", \"min\":0.000000, \"max\":1.000000, "
            "\"default\":0.000000, \"display_type\":0, \"rate\":\"control\"}");
}

TEST(IParam, JsonDescriptionEscapesTheName) {
  IParam p;
  p.SetupContinuous("Say \"hi\" \\ \t\x01 \xC3\xA9 \xFF", 0.0, 0.0, 1.0, 0.5);
  const std::string json = Json(p, 3);
  EXPECT_NE(json.find("\"name\":\"Say \\\"hi\\\" \\\\ \\u0009\\u0001 \xC3\xA9 \\ufffd\", "), std::string::npos) << json;
}

class SquareShape final : public IParam::Shape {
 public:
  explicit SquareShape(int* binds) : binds_(binds) {}
  std::unique_ptr<Shape> Duplicate() const override { return std::make_unique<SquareShape>(binds_); }
  void Bind(const IParam&) override { ++*binds_; }
  int32_t DisplayKind() const override { return 2; }
  double MapFromNormalised(double n, const IParam& p) const override { return p.Min() + n * n * (p.Max() - p.Min()); }
  double MapToNormalised(double v, const IParam& p) const override {
    return std::sqrt((v - p.Min()) / (p.Max() - p.Min()));
  }

 private:
  int* binds_;
};

TEST(IParam, OwnsADuplicateOfItsShapeAndBindsIt) {
  int binds = 0;
  IParam p;
  {
    const SquareShape shape(&binds);
    p.SetupContinuous("Time", 0.0, 0.0, 100.0, 0.0, "ms", 0, "", shape);
  }
  EXPECT_EQ(binds, 1);
  EXPECT_EQ(p.GetShape().DisplayKind(), 2);
  EXPECT_EQ(p.FromNormalised(0.5), 25.0);
  EXPECT_EQ(p.NormaliseValue(25.0), 0.5);
  EXPECT_NE(Json(p, 0).find("\"display_type\":2, "), std::string::npos);
}

TEST(IParam, TextsDoNotFollowACommaDecimalLocale) {
  IParam p;
  p.SetupContinuous("Input", 0.0, -12.0, 12.0, 0.01, "dB", ParamFlag::SignedDisplay);
  testing::CommaLocale comma;
  if (!comma.Active()) GTEST_SKIP() << "no comma-decimal C locale installed";
  EXPECT_EQ(Format(p, 1.5), "+1.50") << comma.Name();
  EXPECT_EQ(p.ParseValue("2.25"), 2.25);
  EXPECT_EQ(Json(p, 0),
            "{\"id\":0, \"name\":\"Input\", \"type\":\"float\", \"min\":-12.000000, \"max\":12.000000, "
            "\"default\":0.000000, \"display_type\":0, \"rate\":\"control\"}");
}

}  // namespace
}  // namespace plugkit
