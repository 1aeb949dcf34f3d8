// The settings snapshot from the parameters' plain values.
#include <gtest/gtest.h>

#include "rack/engine_snapshot.h"
#include "rack/tarnwell_params.h"
#include "recording_tarnwell.h"

namespace {

using tarnwell::BayField;
using tarnwell::BayParam;

TEST(EngineSnapshot, BaysGainsAndSafetyComeFromPlainValues) {
  test::FakeTempoState tempo;
  test::OwnedTarnwell plugin(tempo);
  plugin->GetParam(BayParam(0, BayField::Effect))->SetValue(16);
  plugin->GetParam(BayParam(0, BayField::Amount))->SetValue(45);
  plugin->GetParam(BayParam(0, BayField::On))->SetValue(1);
  plugin->GetParam(BayParam(9, BayField::Solo))->SetValue(1);
  plugin->GetParam(BayParam(9, BayField::Character))->SetValue(15);
  plugin->GetParam(tarnwell::kInputParam)->SetValue(-3.5);
  plugin->GetParam(tarnwell::kOutputParam)->SetValue(11.9);
  plugin->GetParam(tarnwell::kSafetyParam)->SetValue(0);

  const tarnwell::dsp::EngineSettings s = tarnwell::SnapshotFromParams(*plugin, 93.0);
  EXPECT_TRUE(s.bays[0].on);
  EXPECT_EQ(s.bays[0].type, 16);
  EXPECT_DOUBLE_EQ(s.bays[0].amount, 0.45);
  EXPECT_FALSE(s.bays[0].solo);
  EXPECT_TRUE(s.bays[9].solo);
  EXPECT_FALSE(s.bays[9].on);
  EXPECT_EQ(s.bays[9].type, 17);
  EXPECT_EQ(s.bays[9].character, 15);
  EXPECT_EQ(s.bays[1].character, 1);  // the bay's default
  EXPECT_DOUBLE_EQ(s.inputGainDb, -3.5);
  EXPECT_DOUBLE_EQ(s.outputGainDb, 11.9);
  EXPECT_FALSE(s.safety);
  EXPECT_DOUBLE_EQ(s.tempoBpm, 93.0);
}

// A switch reads as on from 0.5 up; the framework snaps a switch, so the threshold is seen
// through a value that is already whole.
TEST(EngineSnapshot, SwitchesCountFromHalfAndTempoFallsBackBelowOneBpm) {
  test::FakeTempoState tempo;
  test::OwnedTarnwell plugin(tempo);
  plugin->GetParam(BayParam(0, BayField::On))->SetValue(0.5);
  plugin->GetParam(BayParam(1, BayField::On))->SetValue(0.49);
  const tarnwell::dsp::EngineSettings s = tarnwell::SnapshotFromParams(*plugin, 1.0);
  EXPECT_TRUE(s.bays[0].on);
  EXPECT_FALSE(s.bays[1].on);
  EXPECT_DOUBLE_EQ(s.tempoBpm, 120.0);
  EXPECT_DOUBLE_EQ(tarnwell::SnapshotFromParams(*plugin, 1.01).tempoBpm, 1.01);
  EXPECT_DOUBLE_EQ(tarnwell::SnapshotFromParams(*plugin, -50.0).tempoBpm, 120.0);
}

}  // namespace
