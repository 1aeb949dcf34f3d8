// Factory presets and the one routine that applies any preset: the parameters it writes,
// their clamping, the page calls it makes and the host's parameter objects it updates.
#include <gtest/gtest.h>

#include <cmath>

#include "host/component_handler.h"
#include "host/host_application.h"
#include "rack/factory_presets.h"
#include "rack/tarnwell_params.h"
#include "rack/ui_msg_tag.h"
#include "recording_tarnwell.h"

namespace {

using namespace Steinberg;
using namespace Steinberg::Vst;
using tarnwell::BayField;
using tarnwell::BayParam;
using tarnwell::PresetSlots;

class FactoryPresets : public ::testing::Test {
 protected:
  double Value(int32_t bay, BayField field) const { return plugin->ParamValue(BayParam(bay, field)); }
  test::FakeTempoState tempo;
  test::OwnedTarnwell plugin{tempo};
};

TEST_F(FactoryPresets, EmptyTurnsEveryBayOffWithNeutralGains) {
  plugin->SelectFactoryPreset(3);
  plugin->GetParam(tarnwell::kOutputParam)->SetValue(5.0);
  plugin->SelectFactoryPreset(0);
  for (int32_t bay = 0; bay < tarnwell::dsp::kBayCount; ++bay) {
    EXPECT_EQ(Value(bay, BayField::On), 0.0) << bay;
    EXPECT_EQ(Value(bay, BayField::Effect), 17.0) << bay;
    EXPECT_EQ(Value(bay, BayField::Character), 0.0) << bay;
    EXPECT_EQ(Value(bay, BayField::Amount), 0.0) << bay;
    EXPECT_EQ(Value(bay, BayField::Solo), 0.0) << bay;
  }
  EXPECT_EQ(plugin->ParamValue(tarnwell::kInputParam), 0.0);
  EXPECT_EQ(plugin->ParamValue(tarnwell::kOutputParam), 0.0);
  EXPECT_EQ(plugin->ParamValue(tarnwell::kSafetyParam), 1.0);
  EXPECT_EQ(plugin->CurrentPresetId(), "factory:empty");
}

TEST_F(FactoryPresets, EachRowSetsItsIdAndItsBays) {
  const char* ids[] = {"factory:empty", "factory:present", "factory:speech", "factory:live"};
  for (int32_t row = 0; row < tarnwell::kFactoryPresetCount; ++row) {
    plugin->SelectFactoryPreset(row);
    EXPECT_EQ(plugin->CurrentPresetId(), ids[row]);
    const tarnwell::FactoryPreset& preset = tarnwell::FactoryPresets()[static_cast<size_t>(row)];
    for (int32_t bay = 0; bay < tarnwell::dsp::kBayCount; ++bay) {
      const tarnwell::PresetBay& want = preset.bays[static_cast<size_t>(bay)];
      EXPECT_EQ(Value(bay, BayField::On), want.type >= 0 ? 1.0 : 0.0) << row << "/" << bay;
      EXPECT_EQ(Value(bay, BayField::Effect), want.type >= 0 ? want.type : 17) << row << "/" << bay;
      // The amount is not stepped: the float32 constant arrives whole.
      EXPECT_DOUBLE_EQ(Value(bay, BayField::Amount), 100.0 * double{want.amount}) << row << "/" << bay;
      EXPECT_EQ(Value(bay, BayField::Character), want.character) << row << "/" << bay;
    }
  }
  plugin->SelectFactoryPreset(1);
  EXPECT_DOUBLE_EQ(plugin->ParamValue(tarnwell::kOutputParam), plugin->GetParam(1)->ClampAndSnap(double{-3.8f}));
  EXPECT_EQ(Value(4, BayField::Character), 2.0);
  EXPECT_EQ(Value(0, BayField::Effect), 4.0);   // Compressor
  EXPECT_EQ(Value(7, BayField::Effect), 11.0);  // Plate
}

TEST_F(FactoryPresets, RowsOutsideTheTableChangeNothing) {
  plugin->SelectFactoryPreset(2);
  plugin->ClearPage();
  for (int32_t index : {4, -1, 1000, INT32_MIN}) {
    plugin->SelectFactoryPreset(index);
    EXPECT_EQ(plugin->CurrentPresetId(), "factory:speech") << index;
  }
  EXPECT_TRUE(plugin->paramValues.empty());
}

TEST_F(FactoryPresets, OutOfRangeSlotsAreClampedNotRefused) {
  PresetSlots slots;
  slots.bays[0] = {18, 0.5f, 3};
  slots.bays[1] = {-5, 0.5f, 3};
  slots.bays[2] = {4, 1.7f, 20};
  slots.bays[3] = {4, -0.2f, -3};
  slots.bays[4] = {4, std::nanf(""), 0};
  slots.inputGainDb = 30.0;
  slots.outputGainDb = -30.0;
  slots.safety = false;
  plugin->ApplyPresetSlots(slots);
  EXPECT_EQ(Value(0, BayField::On), 1.0);
  EXPECT_EQ(Value(0, BayField::Effect), 17.0);
  EXPECT_EQ(Value(1, BayField::On), 0.0);
  EXPECT_EQ(Value(1, BayField::Effect), 17.0);
  EXPECT_EQ(Value(2, BayField::Character), 15.0);
  EXPECT_EQ(Value(2, BayField::Amount), 100.0);
  EXPECT_EQ(Value(3, BayField::Character), 0.0);
  EXPECT_EQ(Value(3, BayField::Amount), 0.0);
  EXPECT_EQ(Value(4, BayField::Amount), 0.0);
  EXPECT_EQ(plugin->ParamValue(tarnwell::kInputParam), 12.0);
  EXPECT_EQ(plugin->ParamValue(tarnwell::kOutputParam), -12.0);
  EXPECT_EQ(plugin->ParamValue(tarnwell::kSafetyParam), 0.0);
}

TEST_F(FactoryPresets, PageGets53ValuesInOrderThenThePresetIdAtTheNextTick) {
  plugin->OnEditorOpened();
  plugin->OnIdleTick();
  plugin->ClearPage();
  ASSERT_TRUE(
      plugin->HandleUIMessage(tarnwell::TagValue(tarnwell::UIMsgTag::SelectFactoryPresetRequest), 2, 0, nullptr));
  ASSERT_EQ(plugin->paramValues.size(), 53u);
  std::vector<int32_t> order;
  for (const test::PageParamValue& value : plugin->paramValues) order.push_back(value.paramIdx);
  std::vector<int32_t> want;
  for (int32_t bay = 0; bay < tarnwell::dsp::kBayCount; ++bay)
    for (int32_t field = 0; field < 5; ++field) want.push_back(BayParam(bay, static_cast<BayField>(field)));
  want.insert(want.end(), {0, 1, 2});
  EXPECT_EQ(order, want);
  EXPECT_NEAR(plugin->paramValues[3].normalised, double{0.15f}, 1e-12);  // bay 1's amount: the gate at 15 %
  EXPECT_TRUE(plugin->messages.empty());                                 // no reply to a selection

  plugin->OnIdleTick();
  const auto current = plugin->MessagesTagged(tarnwell::TagValue(tarnwell::UIMsgTag::CurrentPreset));
  ASSERT_EQ(current.size(), 1u);
  EXPECT_EQ(current[0].Text(), R"({"id":"factory:speech"})");
}

TEST_F(FactoryPresets, HostParameterObjectsFollowWithoutEditsOrGestures) {
  tarnwell::host::HostApplication host("Test Host");
  tarnwell::host::ComponentHandler handler;
  ASSERT_EQ(plugin->initialize(&host), kResultOk);
  plugin->setComponentHandler(&handler);
  plugin->SelectFactoryPreset(1);
  EXPECT_DOUBLE_EQ(plugin->getParamNormalized(BayParam(0, BayField::Effect)), 4.0 / 17.0);
  EXPECT_DOUBLE_EQ(plugin->getParamNormalized(BayParam(0, BayField::On)), 1.0);
  EXPECT_DOUBLE_EQ(plugin->getParamNormalized(tarnwell::kOutputParam),
                   plugin->GetParam(1)->NormaliseValue(plugin->ParamValue(1)));
  for (const auto& call : handler.Calls()) EXPECT_EQ(call.kind, tarnwell::host::ComponentHandler::Kind::Restart);
  plugin->setComponentHandler(nullptr);
  plugin->terminate();
}

}  // namespace
