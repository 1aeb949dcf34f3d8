// Two processes saving one preset over and over while this one loads it: every load finds
// one whole preset, and the file ends as one of the writers' presets.
#include <gtest/gtest.h>

#include <chrono>
#include <set>
#include <string>

#include "preset_fixture.h"
#include "rack/tarnwell_params.h"
#include "tempo/child_process.h"

namespace {

using tarnwell::UIMsgTag;

constexpr int kWritingMs = 1500;

class PresetTwoWriters : public test::PresetFolderTest {
 protected:
  double Input() const { return plugin->ParamValue(tarnwell::kInputParam); }
  void SetInput(double value) { plugin->GetParam(tarnwell::kInputParam)->SetValue(value); }
};

TEST_F(PresetTwoWriters, EveryLoadFindsAWholePresetWhileTwoProcessesSaveIt) {
  SetInput(1.0);
  ASSERT_EQ(OutcomeWith(UIMsgTag::SavePresetRequest, {{"name", "Keep"}}), "ok");
  tarnwell::test::ChildProcess writers[2];
  for (int i = 0; i < 2; ++i) {
    ASSERT_TRUE(writers[i].Start(PRESET_SAVE_PEER,
                                 {plugin->appData, "Keep", std::to_string(kWritingMs), std::to_string(2 + i)}));
  }
  const std::set<double> written{1.0, 2.0, 3.0};
  int loads = 0;
  int failed = 0;
  std::string firstFailure;
  const auto end = std::chrono::steady_clock::now() + std::chrono::milliseconds(kWritingMs);
  while (std::chrono::steady_clock::now() < end) {
    SetInput(0.0);
    const std::string outcome = Outcome(UIMsgTag::LoadPresetRequest, "Keep.json");
    ++loads;
    if (outcome != "ok" || written.count(Input()) == 0) {
      if (failed++ == 0) firstFailure = outcome + ", input " + std::to_string(Input());
    }
  }
  for (auto& writer : writers) EXPECT_EQ(writer.Wait(), 0) << "a save was answered other than ok or refused";
  EXPECT_EQ(failed, 0) << failed << " of " << loads << " loads failed; the first: " << firstFailure;
  EXPECT_GT(loads, 0);

  ASSERT_EQ(Outcome(UIMsgTag::LoadPresetRequest, "Keep.json"), "ok");
  EXPECT_TRUE(Input() == 2.0 || Input() == 3.0) << "the last save of a writer is the file: " << Input();
  EXPECT_FALSE(Exists("Keep.json.tmp"));
}

}  // namespace
