#include "framework/timer.h"

#include <gtest/gtest.h>

#include <atomic>
#include <memory>
#include <stdexcept>
#include <thread>

#include "platform/ui_loop.h"
#include "platform/ui_timer.h"
#include "recording_timer_loop.h"
#include "ui_loop_driver.h"

namespace plugkit {
namespace {

class TimerTest : public ::testing::Test {
 protected:
  void SetUp() override { ASSERT_EQ(RunningTimerCount(), 0); }
  void TearDown() override { EXPECT_EQ(RunningTimerCount(), 0); }

  testing::UiLoopDriver loop_;
};

TEST_F(TimerTest, FiresAtItsIntervalThroughTheLoop) {
  int fires = 0;
  auto timer = Timer::Start([&](Timer&) { ++fires; }, 20);
  ASSERT_NE(timer, nullptr);
  EXPECT_EQ(RunningTimerCount(), 1);
  loop_.RunFor(1000);
  RecordProperty("fires_in_one_second", fires);
  EXPECT_EQ(fires, 50);
}

TEST_F(TimerTest, ATimerThatFellBehindFiresOnceNotInABurst) {
  int fires = 0;
  auto timer = Timer::Start([&](Timer&) { ++fires; }, 20);
  loop_.Idle(200);
  platform::PumpUiLoop();
  EXPECT_EQ(fires, 1);
}

TEST_F(TimerTest, HaltInsideTheCallbackStopsIt) {
  int fires = 0;
  auto timer = Timer::Start(
      [&](Timer& self) {
        if (++fires == 3) self.Halt();
      },
      20);
  loop_.RunFor(500);
  EXPECT_EQ(fires, 3);
  EXPECT_EQ(RunningTimerCount(), 0);
  timer->Halt();  // a second Halt is harmless
  loop_.RunFor(100);
  EXPECT_EQ(fires, 3);
}

TEST_F(TimerTest, DestroyingARunningTimerStopsIt) {
  int fires = 0;
  auto timer = Timer::Start([&](Timer&) { ++fires; }, 20);
  loop_.RunFor(100);
  const int before = fires;
  EXPECT_GT(before, 0);
  timer.reset();
  EXPECT_EQ(RunningTimerCount(), 0);
  loop_.RunFor(200);
  EXPECT_EQ(fires, before);
}

TEST_F(TimerTest, ACallbackMayDestroyItsOwnTimerAndStartAnother) {
  std::unique_ptr<Timer> first;
  std::unique_ptr<Timer> second;
  int firstFires = 0;
  int secondFires = 0;
  first = Timer::Start(
      [&](Timer&) {
        ++firstFires;
        second = Timer::Start([&](Timer&) { ++secondFires; }, 20);
        first.reset();  // the running call keeps its callable alive
      },
      20);
  loop_.RunFor(1000);
  EXPECT_EQ(firstFires, 1);
  EXPECT_GT(secondFires, 0);
  EXPECT_EQ(RunningTimerCount(), 1);
  second.reset();
}

TEST_F(TimerTest, FiresOnlyOnTheThreadThatStartedIt) {
  std::atomic<int> fires{0};
  auto timer = Timer::Start([&](Timer&) { ++fires; }, 20);
  std::thread other([] { platform::RunUiLoopFor(200); });  // real time: another thread's loop
  other.join();
  EXPECT_EQ(fires.load(), 0);
  loop_.RunFor(100);
  EXPECT_GT(fires.load(), 0);
}

TEST_F(TimerTest, APlatformWithoutTimersGivesATimerThatNeverFires) {
  platform::SetUiTimerFailureForTesting(true);
  int fires = 0;
  auto timer = Timer::Start([&](Timer&) { ++fires; }, 20);
  platform::SetUiTimerFailureForTesting(false);
  ASSERT_NE(timer, nullptr);
  EXPECT_FALSE(static_cast<Timer_impl*>(timer.get())->IsRunning());
  EXPECT_EQ(RunningTimerCount(), 0);
  loop_.RunFor(200);
  EXPECT_EQ(fires, 0);
  timer->Halt();
}

TEST_F(TimerTest, AThrowingCallbackLeavesTheRegistryUsable) {
  int fires = 0;
  auto timer = Timer::Start(
      [&](Timer&) {
        ++fires;
        throw std::runtime_error("callback failure");
      },
      20);
  loop_.RunFor(100);
  EXPECT_GT(fires, 1);  // it keeps firing
  // The registry lock was released: another thread can take it.
  std::thread other([] { (void)RunningTimerCount(); });
  other.join();
}

TEST_F(TimerTest, StartedOnAHostLoopItFiresFromThatLoopOnlyAndUnregistersWhenDestroyed) {
  testing::RecordingTimerLoop hostLoop;
  int fires = 0;
  auto timer = Timer::Start([&](Timer&) { ++fires; }, 20, &hostLoop);
  ASSERT_EQ(hostLoop.registrations.size(), 1u);
  EXPECT_EQ(hostLoop.registrations[0].intervalMs, 20u);
  EXPECT_EQ(RunningTimerCount(), 1);
  loop_.RunFor(200);
  EXPECT_EQ(fires, 0);
  hostLoop.Fire();
  hostLoop.Fire();
  EXPECT_EQ(fires, 2);
  timer.reset();
  EXPECT_TRUE(hostLoop.registrations.empty());
}

TEST_F(TimerTest, MovesOntoAHostLoopAndBackAndALateCallForTheOldPlaceFiresNothing) {
  testing::RecordingTimerLoop hostLoop;
  int fires = 0;
  auto timer = Timer::Start([&](Timer&) { ++fires; }, 20);
  timer->MoveTo(&hostLoop);
  timer->MoveTo(&hostLoop);  // already there: registered once
  ASSERT_EQ(hostLoop.registrations.size(), 1u);
  const testing::RecordingTimerLoop::Registration left = hostLoop.registrations[0];
  loop_.RunFor(200);
  EXPECT_EQ(fires, 0);  // its platform timer went
  hostLoop.Fire();
  EXPECT_EQ(fires, 1);

  timer->MoveTo(nullptr);
  EXPECT_TRUE(hostLoop.registrations.empty());
  left.procedure(left.key);  // a host calling once more after the timer left
  EXPECT_EQ(fires, 1);
  loop_.RunFor(100);
  EXPECT_EQ(fires - 1, 5);
  EXPECT_EQ(RunningTimerCount(), 1);
}

TEST_F(TimerTest, ALoopThatRefusesLeavesTheTimerWhereItWasAndLeavingALoopAlwaysUnregisters) {
  testing::RecordingTimerLoop refusing;
  refusing.refuses = true;
  int fires = 0;
  auto timer = Timer::Start([&](Timer&) { ++fires; }, 20);
  timer->MoveTo(&refusing);
  loop_.RunFor(100);
  EXPECT_GT(fires, 0);  // still on the platform's timers

  auto refused = Timer::Start([&](Timer&) { ++fires; }, 20, &refusing);
  auto& refusedImpl = static_cast<Timer_impl&>(*refused);
  EXPECT_FALSE(refusedImpl.IsRunning());
  testing::RecordingTimerLoop hostLoop;
  refused->MoveTo(&hostLoop);  // a loop that takes it starts it
  EXPECT_EQ(refusedImpl.Loop(), &hostLoop);
  ASSERT_EQ(hostLoop.registrations.size(), 1u);

  platform::SetUiTimerFailureForTesting(true);
  refused->MoveTo(nullptr);  // the platform cannot take it: it stops, the loop may go
  platform::SetUiTimerFailureForTesting(false);
  EXPECT_TRUE(hostLoop.registrations.empty());
  EXPECT_FALSE(refusedImpl.IsRunning());
  EXPECT_EQ(RunningTimerCount(), 1);
}

TEST_F(TimerTest, HaltedInAHostLoopCallItUnregistersAndStaysHalted) {
  testing::RecordingTimerLoop hostLoop;
  int fires = 0;
  auto timer = Timer::Start(
      [&](Timer& self) {
        ++fires;
        self.Halt();
      },
      20, &hostLoop);
  hostLoop.Fire();
  EXPECT_EQ(fires, 1);
  EXPECT_TRUE(hostLoop.registrations.empty());
  timer->MoveTo(&hostLoop);
  timer->MoveTo(nullptr);
  EXPECT_TRUE(hostLoop.registrations.empty());
  loop_.RunFor(100);
  EXPECT_EQ(fires, 1);
}

}  // namespace
}  // namespace plugkit
