// The parameters, units and bypass switch a host sees, exported into the SDK's own
// controller containers.
#include "framework/vst3/parameter_export.h"

#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <memory>
#include <vector>

#include "framework/vst3/ids.h"
#include "framework/vst3/midi_controllers.h"
#include "vst3_test_text.h"

namespace plugkit {
namespace {

using namespace Steinberg;
using namespace Steinberg::Vst;
using test::Narrow;
using test::Wide;

// The SDK controller with its container in reach, as the plug-in binding has it.
class Controller : public EditControllerEx1 {
 public:
  ParameterContainer& Parameters() { return parameters; }
  ParameterExportResult Export(const std::vector<std::unique_ptr<IParam>>& owned, bool instrument = false,
                               bool midi = false) {
    std::vector<const IParam*> params;
    for (const auto& p : owned) params.push_back(p.get());
    return ExportParameters(*this, parameters, params, instrument, midi);
  }
};

struct Fixture {
  IPtr<Controller> controller = owned(new Controller());
  std::vector<std::unique_ptr<IParam>> params;

  IParam& Add() {
    params.push_back(std::make_unique<IParam>());
    return *params.back();
  }
  ParameterInfo Info(ParamID id) {
    ParameterInfo info{};
    EXPECT_EQ(controller->getParameterInfoByTag(id, info), kResultOk) << id;
    return info;
  }
  UnitInfo Unit(int32 index) {
    UnitInfo info{};
    EXPECT_EQ(controller->getUnitInfo(index, info), kResultOk) << index;
    return info;
  }
  std::string Text(ParamID id, ParamValue normalised) {
    String128 text{};
    EXPECT_EQ(controller->getParamStringByValue(id, normalised, text), kResultOk);
    return Narrow(text);
  }
};

TEST(ParameterExport, GroupsBecomeUnitsInOrderOfFirstAppearance) {
  Fixture f;
  f.Add().SetupContinuous("One", 0, 0, 1, 0.01, "", 0, "A");
  f.Add().SetupContinuous("Two", 0, 0, 1, 0.01, "", 0, "B");
  f.Add().SetupContinuous("Three", 0, 0, 1, 0.01, "", 0, "A");
  f.Add().SetupContinuous("Loose", 0, 0, 1, 0.01);
  f.Add().SetupContinuous("Lower", 0, 0, 1, 0.01, "", 0, "a");  // names compare case-sensitively
  ASSERT_TRUE(f.controller->Export(f.params).complete);

  ASSERT_EQ(f.controller->getUnitCount(), 4);
  const struct {
    UnitID id, parent;
    const char* name;
  } units[] = {{0, -1, "Root"}, {1, 0, "A"}, {2, 0, "B"}, {3, 0, "a"}};
  for (int32 i = 0; i < 4; ++i) {
    UnitInfo unit = f.Unit(i);
    EXPECT_EQ(unit.id, units[i].id);
    EXPECT_EQ(unit.parentUnitId, units[i].parent);
    EXPECT_EQ(Narrow(unit.name), units[i].name);
    EXPECT_EQ(unit.programListId, kNoProgramListId);
  }
  const UnitID expected[] = {1, 2, 1, 0, 3};
  for (ParamID id = 0; id < 5; ++id) EXPECT_EQ(f.Info(id).unitId, expected[id]) << id;
}

TEST(ParameterExport, ASecondExportAfterTerminateRegistersItsUnitsAgain) {
  Fixture f;
  f.Add().SetupContinuous("One", 0, 0, 1, 0.01, "", 0, "A");
  f.Add().SetupContinuous("Two", 0, 0, 1, 0.01, "", 0, "B");
  ASSERT_TRUE(f.controller->Export(f.params).complete);
  f.controller->terminate();
  EXPECT_EQ(f.controller->getParameterCount(), 0);
  EXPECT_EQ(f.controller->getUnitCount(), 0);

  ParameterExportResult again = f.controller->Export(f.params);
  ASSERT_TRUE(again.complete);
  ASSERT_NE(again.bypass, nullptr);
  EXPECT_EQ(f.controller->getUnitCount(), 3);
  EXPECT_EQ(f.Info(1).unitId, 2);
  EXPECT_EQ(Narrow(f.Unit(2).name), "B");
}

TEST(ParameterExport, ParameterInformationFollowsTheIParam) {
  Fixture f;
  f.Add().SetupContinuous("Input", 6.0, -12.0, 12.0, 0.1, "dB");
  f.Add().SetupChoiceList("Mode", 2, {"Soft", "Hard", "Wide", "Thin"});
  f.Add().SetupContinuous("Meter", 0, 0, 1, 0.01, "", ParamFlag::NotAutomatable);
  f.Add().SetupSwitch("On", true);
  f.Add().SetupContinuous("Name longer than the thirty-one byte field", 0, 0, 1, 1);
  ASSERT_TRUE(f.controller->Export(f.params).complete);
  ASSERT_EQ(f.controller->getParameterCount(), 6);  // bypass first, then one per IParam

  ParameterInfo input = f.Info(0);
  EXPECT_EQ(Narrow(input.title), "Input");
  EXPECT_EQ(Narrow(input.shortTitle), "");
  EXPECT_EQ(Narrow(input.units), "dB");
  EXPECT_EQ(input.stepCount, 0);
  EXPECT_DOUBLE_EQ(input.defaultNormalizedValue, 0.75);
  EXPECT_EQ(input.flags, ParameterInfo::kCanAutomate);
  EXPECT_DOUBLE_EQ(f.controller->getParamNormalized(0), 0.75);

  ParameterInfo mode = f.Info(1);
  EXPECT_EQ(mode.stepCount, 3);
  EXPECT_EQ(mode.flags, ParameterInfo::kCanAutomate | ParameterInfo::kIsList);
  EXPECT_EQ(Narrow(mode.units), "");

  EXPECT_EQ(f.Info(2).flags, 0);
  ParameterInfo on = f.Info(3);
  EXPECT_EQ(on.stepCount, 1);
  EXPECT_EQ(on.flags, ParameterInfo::kCanAutomate);  // a switch is Bool, not a list
  EXPECT_EQ(Narrow(f.Info(4).title), "Name longer than the thirty-one");
}

TEST(ParameterExport, TextsAndValuesConvertThroughTheIParam) {
  Fixture f;
  f.Add().SetupContinuous("Input", 0.0, -12.0, 12.0, 0.1, "dB");
  f.Add().SetupChoiceList("Mode", 0, {"Soft", "Hard", "Wide", "Thin"});
  ASSERT_TRUE(f.controller->Export(f.params).complete);

  EXPECT_EQ(f.Text(0, 0.75), "6.0");
  EXPECT_EQ(f.Text(1, 1.0 / 3.0), "Hard");
  EXPECT_EQ(f.Text(1, 0.4), "Hard");  // the nearest item after snapping

  const struct {
    ParamID id;
    const char* text;
    double normalised;
  } reads[] = {{0, "6", 0.75},   {0, "-3dB", 0.375}, {0, "99", 1.0},
               {0, "junk", 0.5}, {1, "Thin", 1.0},   {1, "thin", 0.0}};
  for (const auto& r : reads) {
    std::u16string text = Wide(r.text);
    ParamValue value = -1;
    EXPECT_EQ(f.controller->getParamValueByString(r.id, reinterpret_cast<TChar*>(text.data()), value), kResultOk);
    EXPECT_NEAR(value, r.normalised, 1e-12) << r.text;
  }
  EXPECT_DOUBLE_EQ(f.controller->normalizedParamToPlain(0, 0.25), -6.0);
  EXPECT_DOUBLE_EQ(f.controller->normalizedParamToPlain(1, 0.5), 2.0);  // snapped to an item
  EXPECT_DOUBLE_EQ(f.controller->plainParamToNormalized(0, 24.0), 1.0);
}

TEST(ParameterExport, BypassIsAListWithTheBypassFlagAndRefusesNothingHarmfully) {
  Fixture f;
  f.Add().SetupContinuous("Input", 0.0, 0.0, 1.0, 0.01);
  ParameterExportResult result = f.controller->Export(f.params);
  ASSERT_NE(result.bypass, nullptr);
  EXPECT_EQ(f.controller->getParameterObject(kBypassParamId), result.bypass);

  ParameterInfo bypass = f.Info(kBypassParamId);
  EXPECT_EQ(Narrow(bypass.title), "Bypass");
  EXPECT_EQ(bypass.flags, 0x10009);
  EXPECT_EQ(bypass.stepCount, 1);
  EXPECT_EQ(bypass.unitId, kRootUnitId);
  EXPECT_TRUE(result.bypass->isTypeOf("StringListParameter"));
  EXPECT_FALSE(result.bypass->isTypeOf("StringListParameter", false));

  const double nan = std::numeric_limits<double>::quiet_NaN();
  const struct {
    double value;
    const char* text;
  } texts[] = {{0.0, "off"}, {1.0, "on"}, {-1.0, "off"}, {2.0, "on"}, {nan, "off"}};
  for (const auto& t : texts) EXPECT_EQ(f.Text(kBypassParamId, t.value), t.text) << t.value;
  ParamValue value = 0;
  EXPECT_EQ(f.controller->getParamValueByString(kBypassParamId, nullptr, value), kResultFalse);
}

TEST(ParameterExport, AnInstrumentHasNoBypass) {
  Fixture f;
  f.Add().SetupContinuous("Input", 0.0, 0.0, 1.0, 0.01);
  ParameterExportResult result = f.controller->Export(f.params, true);
  EXPECT_EQ(result.bypass, nullptr);
  EXPECT_EQ(f.controller->getParameterCount(), 1);
  EXPECT_EQ(f.controller->getParameterObject(kBypassParamId), nullptr);
}

TEST(ParameterExport, MidiControllersOfChannelZeroInTheirOwnUnits) {
  Fixture f;
  f.Add().SetupContinuous("Input", 0.0, 0.0, 1.0, 0.01, "", 0, "Gains");
  ASSERT_TRUE(f.controller->Export(f.params, false, true).complete);
  EXPECT_EQ(f.controller->getParameterCount(), 2 + 130);

  // Root and "Gains" are registered first; each MIDI unit takes "units so far + 1".
  ASSERT_EQ(f.controller->getUnitCount(), 4);
  EXPECT_EQ(f.Unit(2).id, 3);
  EXPECT_EQ(Narrow(f.Unit(2).name), "MIDI CCs");
  EXPECT_EQ(f.Unit(2).parentUnitId, 0);
  EXPECT_EQ(f.Unit(3).id, 4);
  EXPECT_EQ(Narrow(f.Unit(3).name), "CH1");
  EXPECT_EQ(f.Unit(3).parentUnitId, 3);

  const struct {
    ParamID id;
    const char* title;
    double defaultValue;
  } controllers[] = {{65538, "BankSel.MSB", 0.0},        {65545, "MainVolume", 0.0},   {65541, "Contr. 3", 0.0},
                     {65604, "Sostenuto ", 0.0},         {65617, "SoundCont 10", 0.0}, {65665, "PolyModeOn", 0.0},
                     {65666, "Channel Aftertouch", 0.0}, {65667, "Pitch Bend", 0.5}};
  for (const auto& c : controllers) {
    ParameterInfo info = f.Info(c.id);
    EXPECT_EQ(Narrow(info.title), c.title) << c.id;
    EXPECT_EQ(info.flags, 0) << c.id;
    EXPECT_EQ(info.unitId, 4) << c.id;
    EXPECT_EQ(info.defaultNormalizedValue, c.defaultValue) << c.id;
  }
}

TEST(MidiControllerMapping, OnlyBusZeroChannelZeroAndKnownControllers) {
  const struct {
    int32_t bus, channel, controller;
    bool mapped;
    uint32_t id;
  } cases[] = {{0, 0, 7, true, 65545}, {0, 0, 129, true, 65667}, {0, 0, 0, true, 65538},
               {1, 0, 7, false, 0},    {0, 1, 7, false, 0},      {0, -1, 7, false, 0},
               {0, 0, 130, false, 0},  {0, 0, -1, false, 0},     {-1, 0, 7, false, 0}};
  for (const auto& c : cases) {
    uint32_t id = 0;
    EXPECT_EQ(MidiControllerParamId(c.bus, c.channel, c.controller, id), c.mapped)
        << c.bus << " " << c.channel << " " << c.controller;
    if (c.mapped) {
      EXPECT_EQ(id, c.id);
    }
  }
}

}  // namespace
}  // namespace plugkit
