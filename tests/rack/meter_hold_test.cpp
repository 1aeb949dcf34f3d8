// The held output peak and the meter cadence.
#include <gtest/gtest.h>

#include <cmath>

#include "rack/meter_hold.h"

namespace {

using tarnwell::MeterHold;

TEST(MeterHold, HoldsForOnePointSixSecondsThenFallsNeverBelowThePeak) {
  MeterHold hold;
  EXPECT_EQ(hold.Hold(0.8, 10.0), 0.8);
  EXPECT_EQ(hold.Hold(0.01, 11.0), 0.8);
  EXPECT_EQ(hold.Hold(0.01, 11.6), 0.8);  // 1.6 s: still held
  // 2.0 s after the peak: 0.8 x 10^(-18 x 2 / 20).
  EXPECT_NEAR(hold.Hold(0.01, 12.0), 0.8 * std::pow(10.0, -1.8), 1e-12);
  EXPECT_EQ(hold.Hold(0.01, 14.0), 0.01);  // the fall stops at the current peak
  // A higher peak raises the hold at once and restarts the time.
  EXPECT_EQ(hold.Hold(0.5, 14.1), 0.5);
  EXPECT_EQ(hold.Hold(0.1, 15.6), 0.5);
}

TEST(MeterHold, StandingPositionKeepsTheHoldAndALoopBackRestartsIt) {
  MeterHold hold;
  hold.Hold(0.8, 30.0);
  for (int i = 0; i < 100; ++i) EXPECT_EQ(hold.Hold(0.1, 30.0), 0.8);
  // The host loops back to 2 s: the hold starts again from there instead of freezing.
  EXPECT_EQ(hold.Hold(0.1, 2.0), 0.8);
  EXPECT_EQ(hold.Hold(0.1, 3.6), 0.8);
  EXPECT_LT(hold.Hold(0.1, 4.0), 0.8);
}

TEST(MeterHold, FirstBlockThenEverySixteenthGivesAReading) {
  MeterHold hold;
  std::vector<int> due;
  for (int block = 0; block < 40; ++block)
    if (hold.ReadingDue()) due.push_back(block);
  EXPECT_EQ(due, (std::vector<int>{0, 16, 32}));
}

TEST(MeterMailbox, FrameIsTakenOnceAndDiscardDropsIt) {
  tarnwell::MeterMailbox mailbox;
  tarnwell::dsp::MeterFrame frame;
  EXPECT_FALSE(mailbox.Take(frame));
  mailbox.Publish({0.5f, 3.0f, 0.7f, 0.9f});
  ASSERT_TRUE(mailbox.Take(frame));
  EXPECT_EQ(frame.outputPeak, 0.5f);
  EXPECT_EQ(frame.gainReductionDb, 3.0f);
  EXPECT_EQ(frame.inputPeak, 0.7f);
  EXPECT_EQ(frame.outputPeakHold, 0.9f);
  EXPECT_FALSE(mailbox.Take(frame));
  mailbox.Publish({0.1f, 0.0f, 0.1f, 0.1f});
  mailbox.Discard();
  EXPECT_FALSE(mailbox.Take(frame));
}

}  // namespace
