#include "framework/plugin_api_base.h"

#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <string>
#include <vector>

#include "recording_timer_loop.h"
#include "test_plugin.h"
#include "ui_loop_driver.h"

namespace plugkit {
namespace {

using testing::TestPlugin;
using testing::TestPluginSetup;
using Calls = std::vector<std::string>;

TEST(IPluginAPIBase, EditorBoundsAreOrdered) {
  TestPlugin plugin;
  EXPECT_EQ(plugin.EditorWidth(), 680);
  EXPECT_EQ(plugin.EditorHeight(), 588);
  EXPECT_EQ(plugin.EditorMinWidth(), 600);
  EXPECT_EQ(plugin.EditorMaxWidth(), 700);
  EXPECT_EQ(plugin.EditorMinHeight(), 500);
  EXPECT_EQ(plugin.EditorMaxHeight(), 588);
}

TEST(IPluginAPIBase, SetHostIdentifiesThenRunsTheHooks) {
  TestPlugin plugin;
  plugin.SetHost("WaveLab Elements 12", 0x000C0001);
  EXPECT_EQ(plugin.GetHostId(), 32);
  EXPECT_STREQ(plugin.HostName(), "WaveLab Elements 12");
  EXPECT_EQ(plugin.HostVersion(), 0x000C0001);
  EXPECT_EQ(plugin.calls, (Calls{"HostSpecificSetup", "OnHostKnown(32)"}));
}

TEST(IPluginAPIBase, PageValuesReachTheHostWithinZeroToOne) {
  struct Case {
    double fromPage;
    double toHost;
    double value;  // of the -10..10 parameter
  } cases[] = {
      {0.75, 0.75, 5.0},
      {1.5, 1.0, 10.0},
      {-3.0, 0.0, -10.0},
      {std::numeric_limits<double>::quiet_NaN(), 0.0, -10.0},
      {std::numeric_limits<double>::infinity(), 1.0, 10.0},
  };
  for (const Case& c : cases) {
    TestPlugin plugin;
    plugin.ApplyParamValueFromUI(0, c.fromPage);
    EXPECT_EQ(plugin.GetParam(0)->Value(), c.value) << c.fromPage;
    EXPECT_EQ(plugin.calls,
              (Calls{"SendParamValueToHost(0," + std::to_string(c.toHost) + ")", "OnParamChange(0,3,-1)"}))
        << c.fromPage;
  }
  TestPlugin plugin;
  plugin.ApplyParamValueFromUI(3, 0.5);
  plugin.ApplyParamValueFromUI(-1, 0.5);
  EXPECT_TRUE(plugin.calls.empty());
}

TEST(IPluginAPIBase, SetParamValueFromUIAlsoTellsTheEditorSide) {
  TestPlugin plugin;
  plugin.SetParamValueFromUI(1, 0.5);  // stepped 0..4
  EXPECT_EQ(plugin.GetParam(1)->Value(), 2.0);
  EXPECT_EQ(plugin.calls,
            (Calls{"SendParamValueToHost(1,0.500000)", "OnParamChange(1,3,-1)", "OnUIParamChanged(1,3)"}));
}

TEST(IPluginAPIBase, ResizeFromThePageAsksTheHostOnlyWhenTold) {
  TestPlugin plugin;
  EXPECT_TRUE(plugin.ResizeEditorFromUI(800, 600, false));
  EXPECT_TRUE(plugin.calls.empty());
  EXPECT_FALSE(plugin.ResizeEditorFromUI(800, 600, true));
  EXPECT_EQ(plugin.calls, (Calls{"ResizeHostView(800,600)"}));
}

TEST(IPluginAPIBase, ForwardersFromThePage) {
  TestPlugin plugin;
  plugin.ForwardMsgFromUI(7, -1, 3, "abc");
  EXPECT_EQ(plugin.calls, (Calls{"HandleUIMessage(7,-1,abc)"}));
  for (int i = 0; i < 33; ++i) plugin.ForwardMidiFromUI(MidiMessage{i, 0xB0, 7, 100});
  EXPECT_EQ(plugin.MidiRingToProcessor().ElementsAvailable(), 32);  // the 33rd is dropped
  MidiMessage first;
  ASSERT_TRUE(plugin.MidiRingToProcessor().Pop(first));
  EXPECT_EQ(first.offset, 0);
}

class IdleTimer : public ::testing::Test {
 protected:
  void TearDown() override { EXPECT_EQ(RunningTimerCount(), 0); }
  testing::UiLoopDriver loop_;
};

TEST_F(IdleTimer, TicksEveryTwentyMillisecondsAndDrainsTheRingsForThePage) {
  TestPlugin plugin;
  plugin.StartIdleTimer();
  for (int i = 0; i < 3; ++i) plugin.MidiRingToUI().Push(MidiMessage{i, 0x90, 60, 90});
  const uint8_t bytes[] = {0xF0, 0x7E, 0xF7};
  SysExRecord record;
  ASSERT_TRUE(MakeSysExRecord(SysExMessage{0, 3, bytes}, record));
  plugin.SysExRingToUI().Push(record);
  plugin.ParamRing().Push(ParamUpdate{1, 0.5});

  loop_.RunFor(1000);
  EXPECT_EQ(plugin.idleTicks, 50);
  ASSERT_EQ(plugin.midiToPage.size(), 3u);
  EXPECT_EQ(plugin.midiToPage[2].offset, 2);
  ASSERT_EQ(plugin.sysExToPage.size(), 1u);
  EXPECT_EQ(plugin.sysExToPage[0], (std::vector<uint8_t>{0xF0, 0x7E, 0xF7}));
  EXPECT_EQ(plugin.ParamRing().ElementsAvailable(), 1);  // nothing drains it
}

TEST_F(IdleTimer, ATickTakesOnlyWhatWaitedWhenItBegan) {
  TestPlugin plugin;
  plugin.MidiRingToUI().Push(MidiMessage{0, 0x90, 60, 90});
  plugin.MidiRingToUI().Push(MidiMessage{1, 0x90, 60, 90});
  // A producer that refills the ring as fast as the tick drains it.
  plugin.onMidiToPage = [&] { plugin.MidiRingToUI().Push(MidiMessage{9, 0x80, 60, 0}); };
  plugin.OnIdleTimerTick();
  EXPECT_EQ(plugin.midiToPage.size(), 2u);
  EXPECT_EQ(plugin.idleTicks, 1);
  EXPECT_EQ(plugin.MidiRingToUI().ElementsAvailable(), 2);
}

TEST_F(IdleTimer, RestartingReplacesTheTimerAndDestructionStopsIt) {
  {
    TestPlugin plugin;
    plugin.StartIdleTimer();
    plugin.StartIdleTimer();
    EXPECT_EQ(RunningTimerCount(), 1);
    loop_.RunFor(100);
    EXPECT_GT(plugin.idleTicks, 0);
  }
  EXPECT_EQ(RunningTimerCount(), 0);
  loop_.RunFor(100);  // a destroyed plug-in's timer must not fire into it (ASan would see)
}

TEST_F(IdleTimer, DrivenFromAHostLoopItTicksFromThatLoopAndARestartedTimerStaysOnIt) {
  testing::RecordingTimerLoop hostLoop;
  TestPlugin plugin;
  plugin.StartIdleTimer();
  plugin.DriveIdleTimerFrom(&hostLoop);
  plugin.StartIdleTimer();
  ASSERT_EQ(hostLoop.registrations.size(), 1u);
  EXPECT_EQ(hostLoop.registrations[0].intervalMs, IPluginAPIBase::kIdleIntervalMs);
  loop_.RunFor(100);
  EXPECT_EQ(plugin.idleTicks, 0);
  hostLoop.Fire();
  EXPECT_EQ(plugin.idleTicks, 1);

  plugin.DriveIdleTimerFrom(nullptr);
  EXPECT_TRUE(hostLoop.registrations.empty());
  loop_.RunFor(100);
  EXPECT_GT(plugin.idleTicks, 1);
}

TEST_F(IdleTimer, NoTimerUntilStarted) {
  TestPlugin plugin;
  loop_.RunFor(100);
  EXPECT_EQ(plugin.idleTicks, 0);
  EXPECT_EQ(RunningTimerCount(), 0);
}

}  // namespace
}  // namespace plugkit
