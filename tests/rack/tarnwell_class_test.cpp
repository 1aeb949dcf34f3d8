// The plug-in class itself: what a fresh instance holds, the editor's one size, latency
// reports, and what destruction releases.
#include <gtest/gtest.h>

#include <string>

#include "framework/vst3/ids.h"
#include "host/component_handler.h"
#include "host/host_application.h"
#include "rack/dsp/latency.h"
#include "rack/tarnwell_params.h"
#include "recording_tarnwell.h"

namespace {

using namespace Steinberg;
using namespace Steinberg::Vst;
using tarnwell::BayField;
using tarnwell::BayParam;
using tarnwell::host::ComponentHandler;

int LatencyRestarts(const ComponentHandler& handler) {
  int restarts = 0;
  for (const auto& call : handler.Calls())
    if (call.kind == ComponentHandler::Kind::Restart && (call.flags & kLatencyChanged) != 0) ++restarts;
  return restarts;
}

TEST(TarnwellClass, FreshInstanceHasEmptyBaysSafetyOnAndTheEmptyPresetId) {
  test::FakeTempoState tempo;
  test::OwnedTarnwell plugin(tempo);
  ASSERT_EQ(plugin->NParams(), 53);
  EXPECT_STREQ(plugin->GetParam(52)->NameText(), "Bay 10 Solo");
  EXPECT_STREQ(plugin->GetParam(0)->NameText(), "Input");
  EXPECT_STREQ(plugin->GetParam(6)->Label(), "%");
  EXPECT_EQ(plugin->GetParam(tarnwell::kSafetyParam)->Value(), 1.0);
  for (int32_t bay = 0; bay < tarnwell::dsp::kBayCount; ++bay) {
    EXPECT_EQ(plugin->GetParam(BayParam(bay, BayField::On))->Value(), 0.0) << bay;
    EXPECT_EQ(plugin->GetParam(BayParam(bay, BayField::Effect))->Value(), 17.0) << bay;
  }
  EXPECT_EQ(plugin->GetParam(BayParam(3, BayField::Character))->Value(), 2.0);
  EXPECT_EQ(plugin->GetParam(BayParam(3, BayField::Amount))->Value(), 45.0);
  EXPECT_EQ(plugin->GetParam(BayParam(5, BayField::Character))->Value(), 0.0);
  EXPECT_EQ(plugin->CurrentPresetId(), "factory:empty");
  EXPECT_EQ(plugin->EditorWidth(), 680);
  EXPECT_EQ(plugin->EditorHeight(), 588);
  EXPECT_EQ(plugin->UniqueId(), 0x62685239);
  EXPECT_EQ(plugin->VersionCode(), 0x0001000A);
}

TEST(TarnwellClass, EditorKeepsItsOneSize) {
  test::FakeTempoState tempo;
  test::OwnedTarnwell plugin(tempo);
  struct Case {
    int32_t width, height;
    bool answer;
    int32_t wantWidth, wantHeight;
  };
  for (const Case& c : {Case{800, 600, false, 680, 588}, Case{0, 600, true, 0, 600}, Case{680, -1, true, 680, -1},
                        Case{680, 588, true, 680, 588}, Case{680, 589, false, 680, 588}}) {
    int32_t width = c.width, height = c.height;
    EXPECT_EQ(plugin->ConstrainEditorSize(width, height), c.answer) << c.width << "x" << c.height;
    EXPECT_EQ(width, c.wantWidth);
    EXPECT_EQ(height, c.wantHeight);
  }
}

TEST(TarnwellClass, LatencyIsReportedOnceForEachChange) {
  test::FakeTempoState tempo;
  test::OwnedTarnwell plugin(tempo);
  tarnwell::host::HostApplication host("Test Host");
  ComponentHandler handler;
  ASSERT_EQ(plugin->initialize(&host), kResultOk);
  plugin->setComponentHandler(&handler);
  ProcessSetup setup{kRealtime, kSample32, 256, 48000.0};
  ASSERT_EQ(plugin->setupProcessing(setup), kResultOk);
  EXPECT_EQ(plugin->getLatencySamples(), 0u);

  // Bay 1 as a gate, switched on: two changes, the latency moves only with the second.
  plugin->setParamNormalized(BayParam(0, BayField::Effect), 0.0);
  EXPECT_EQ(LatencyRestarts(handler), 0);
  plugin->setParamNormalized(BayParam(0, BayField::On), 1.0);
  EXPECT_EQ(plugin->getLatencySamples(), static_cast<uint32>(tarnwell::dsp::GateLookaheadSamples(48000.0)));
  EXPECT_EQ(LatencyRestarts(handler), 1);
  // Amount and character never change the latency.
  plugin->setParamNormalized(BayParam(0, BayField::Amount), 0.9);
  plugin->setParamNormalized(BayParam(0, BayField::Character), 0.5);
  EXPECT_EQ(LatencyRestarts(handler), 1);
  // A De-Harsh in bay 2 adds its look-ahead.
  plugin->setParamNormalized(BayParam(1, BayField::Effect), 2.0 / 17.0);
  plugin->setParamNormalized(BayParam(1, BayField::On), 1.0);
  EXPECT_EQ(plugin->getLatencySamples(), static_cast<uint32>(tarnwell::dsp::GateLookaheadSamples(48000.0) +
                                                             tarnwell::dsp::DeHarshLookaheadSamples(48000.0)));
  EXPECT_EQ(LatencyRestarts(handler), 2);
  plugin->setComponentHandler(nullptr);
  plugin->terminate();
}

TEST(TarnwellClass, FirstLatencyUpdateAlwaysReportsEvenZero) {
  test::FakeTempoState tempo;
  test::OwnedTarnwell plugin(tempo);
  tarnwell::host::HostApplication host("Test Host");
  ComponentHandler handler;
  plugin->setComponentHandler(&handler);
  // initialize resets every parameter, which updates the latency for the first time.
  ASSERT_EQ(plugin->initialize(&host), kResultOk);
  EXPECT_EQ(LatencyRestarts(handler), 1);
  plugin->setParamNormalized(tarnwell::kInputParam, 0.7);
  EXPECT_EQ(LatencyRestarts(handler), 1);
  plugin->setComponentHandler(nullptr);
  plugin->terminate();
}

TEST(TarnwellClass, DestructionClosesOnlyWhatWasMapped) {
  test::FakeTempoState absent;
  { test::OwnedTarnwell plugin(absent); }
  EXPECT_EQ(absent.opens, 0);
  EXPECT_EQ(absent.closes, 0);

  test::FakeTempoState present;
  present.available = true;
  { test::OwnedTarnwell plugin(present); }
  EXPECT_EQ(present.opens, 1);
  EXPECT_EQ(present.closes, 1);
}

}  // namespace
