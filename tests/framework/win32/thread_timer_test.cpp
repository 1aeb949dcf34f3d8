// The Windows thread timers for real, in real time: the other timer tests run on a manual
// clock, which takes SetTimer out of the loop.
#include <gtest/gtest.h>

#include <atomic>

#include "platform/ui_loop.h"
#include "platform/ui_timer.h"

namespace plugkit {
namespace {

std::atomic<int> fires{0};

void CountFire(platform::UiTimerId) noexcept { ++fires; }

TEST(ThreadTimer, FiresAtItsIntervalThroughTheMessageLoopUntilKilled) {
  fires = 0;
  const platform::UiTimerId id = platform::StartUiTimer(20, CountFire);
  ASSERT_NE(id, 0u);
  platform::RunUiLoopFor(1000);
  // Timer resolution and scheduling under load: generous, so that the count only catches a
  // timer that does not run at its rate at all.
  EXPECT_NEAR(fires.load(), 50, 25);
  platform::KillUiTimer(id);
  const int before = fires.load();
  platform::RunUiLoopFor(100);
  EXPECT_EQ(fires.load(), before);
}

}  // namespace
}  // namespace plugkit
