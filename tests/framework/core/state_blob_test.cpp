#include "framework/core/state_blob.h"

#include <gtest/gtest.h>

#include <cstring>
#include <limits>
#include <string>

#include "failing_realloc.h"
#include "moving_realloc.h"

namespace plugkit {
namespace {

constexpr int32_t kMaxInt32 = std::numeric_limits<int32_t>::max();

// A blob holding a raw int32 length field followed by the given bytes.
StateBlob TextRecord(int32_t storedLength, const char* bytes, int32_t byteCount) {
  StateBlob blob;
  EXPECT_TRUE(blob.PutValue(storedLength));
  EXPECT_TRUE(blob.Put(bytes, byteCount));
  return blob;
}

TEST(StateBlob, ValuesRoundTripInLittleEndianWithoutPadding) {
  StateBlob blob;
  ASSERT_TRUE(blob.PutValue(int32_t{0x01020304}));
  ASSERT_TRUE(blob.PutValue(2.5));
  ASSERT_EQ(blob.Size(), 12);
  EXPECT_EQ(blob.Data()[0], 0x04);
  EXPECT_EQ(blob.Data()[3], 0x01);
  EXPECT_EQ(blob.Buffer().Capacity(), 4000);  // granularity 4096: whole pages less 96

  int32_t i = 0;
  double d = 0;
  int32_t pos = blob.GetValue(i, 0);
  pos = blob.GetValue(d, pos);
  EXPECT_EQ(pos, 12);
  EXPECT_EQ(i, 0x01020304);
  EXPECT_EQ(d, 2.5);
}

TEST(StateBlob, GetNeedsAllBytesLeft) {
  StateBlob blob;
  for (int k = 0; k < 4; ++k) ASSERT_TRUE(blob.PutValue(int32_t{k}));
  const int32_t size = blob.Size();
  int32_t value = -99;
  EXPECT_EQ(blob.GetValue(value, size - 3), -1);
  EXPECT_EQ(value, -99);  // untouched on failure
  EXPECT_EQ(blob.GetValue(value, size - 4), size);
  EXPECT_EQ(value, 3);
}

TEST(StateBlob, FailedReadPropagatesAndExtremePositionsDoNotOverflow) {
  StateBlob blob;
  ASSERT_TRUE(blob.PutValue(1.0));
  double d = 7;
  EXPECT_EQ(blob.GetValue(d, -1), -1);
  EXPECT_EQ(blob.GetValue(d, blob.GetValue(d, -1)), -1);
  EXPECT_EQ(blob.GetValue(d, kMaxInt32), -1);
  EXPECT_EQ(blob.GetValue(d, kMaxInt32 - 4), -1);
  EXPECT_EQ(blob.Get(&d, -8, 8), -1);
  EXPECT_EQ(blob.Get(&d, kMaxInt32, 8), -1);
  EXPECT_EQ(d, 7);
}

TEST(StateBlob, TextRoundTrip) {
  StateBlob blob;
  ASSERT_TRUE(blob.PutText("factory:present"));
  ASSERT_TRUE(blob.PutText(""));
  ASSERT_TRUE(blob.PutText(nullptr));
  EXPECT_EQ(blob.Size(), 4 + 15 + 4 + 4);
  GrowString a, b, c("x");
  int32_t pos = blob.GetText(a, 0);
  EXPECT_EQ(pos, 19);
  pos = blob.GetText(b, pos);
  pos = blob.GetText(c, pos);
  EXPECT_EQ(pos, blob.Size());
  EXPECT_STREQ(a.Get(), "factory:present");
  EXPECT_STREQ(b.Get(), "");
  EXPECT_STREQ(c.Get(), "");
}

TEST(StateBlob, TextOfLengthZeroIsEmpty) {
  const StateBlob blob = TextRecord(0, "zz", 2);
  GrowString out("previous");
  EXPECT_EQ(blob.GetText(out, 0), 4);
  EXPECT_STREQ(out.Get(), "");
}

TEST(StateBlob, OverlongTextReturnsPastEndAndLeavesTextSoNextReadFails) {
  const StateBlob blob = TextRecord(10, "abc", 3);
  GrowString out("previous");
  const int32_t pos = blob.GetText(out, 0);
  EXPECT_EQ(pos, 14);
  EXPECT_STREQ(out.Get(), "previous");
  int32_t next = 0;
  EXPECT_EQ(blob.GetValue(next, pos), -1);
}

TEST(StateBlob, NegativeTextLengthIsRefused) {
  // A negative length would move the reader backwards into data already read.
  const StateBlob blob = TextRecord(-4, "abcd", 4);
  GrowString out("previous");
  EXPECT_EQ(blob.GetText(out, 0), -1);
  EXPECT_STREQ(out.Get(), "previous");
}

TEST(StateBlob, TextLengthPastInt32IsRefused) {
  StateBlob blob;
  ASSERT_TRUE(blob.PutValue(int32_t{0}));
  ASSERT_TRUE(blob.PutValue(kMaxInt32 - 2));  // position 4 + 4 + length passes INT32_MAX
  GrowString out("previous");
  EXPECT_EQ(blob.GetText(out, 4), -1);
  EXPECT_STREQ(out.Get(), "previous");
}

TEST(StateBlob, TextReadNeedsFourLengthBytes) {
  const StateBlob blob = TextRecord(1, "a", 1);
  GrowString out("previous");
  EXPECT_EQ(blob.GetText(out, 2), -1);
  EXPECT_EQ(blob.GetText(out, -1), -1);
  EXPECT_STREQ(out.Get(), "previous");
}

TEST(StateBlob, EmbeddedNulEndsTheText) {
  const StateBlob blob = TextRecord(5, "ab\0cd", 5);
  GrowString out;
  EXPECT_EQ(blob.GetText(out, 0), 9);
  EXPECT_STREQ(out.Get(), "ab");
}

TEST(StateBlob, FailedGrowthLeavesTheBlobAsItWas) {
  StateBlob blob;
  ASSERT_TRUE(blob.PutValue(int32_t{1}));
  const char big[5000] = {};
  testing::FailingRealloc failing;
  EXPECT_FALSE(blob.Put(big, sizeof big));
  EXPECT_EQ(blob.Size(), 4);
  std::string longText(5000, 't');
  EXPECT_FALSE(blob.PutText(longText.c_str()));  // all or nothing: no length without its bytes
  EXPECT_EQ(blob.Size(), 4);
}

TEST(StateBlob, PutOfItsOwnBytesSurvivesTheMove) {
  testing::MovingRealloc moving;
  StateBlob blob;
  for (int32_t k = 0; k < 1000; ++k) ASSERT_TRUE(blob.PutValue(k));  // 4000 bytes: a full block
  ASSERT_TRUE(blob.Put(blob.Data(), blob.Size()));
  ASSERT_EQ(blob.Size(), 8000);
  int32_t value = -1;
  EXPECT_EQ(blob.GetValue(value, 4000 + 4 * 999), 8000);
  EXPECT_EQ(value, 999);
}

TEST(StateBlob, PutRefusesNegativeCounts) {
  StateBlob blob;
  EXPECT_FALSE(blob.Put("x", -1));
  EXPECT_TRUE(blob.Put(nullptr, 0));
  EXPECT_EQ(blob.Size(), 0);
}

}  // namespace
}  // namespace plugkit
