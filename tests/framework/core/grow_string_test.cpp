#include "framework/core/grow_string.h"

#include <gtest/gtest.h>

#include <cstring>
#include <limits>
#include <string>

#include "failing_realloc.h"
#include "moving_realloc.h"

namespace plugkit {
namespace {

constexpr int32_t kMaxInt32 = std::numeric_limits<int32_t>::max();

TEST(GrowString, NewStringReadsAsEmptyNeverNull) {
  GrowString s;
  ASSERT_NE(s.Get(), nullptr);
  EXPECT_STREQ(s.Get(), "");
  EXPECT_EQ(s.Length(), 0);
  EXPECT_EQ(s.Buffer().Granularity(), 128);
}

TEST(GrowString, SizeCountsTheTerminator) {
  GrowString s;
  ASSERT_TRUE(s.Set("abc"));
  EXPECT_EQ(s.Buffer().Size(), 4);
  EXPECT_EQ(s.Length(), 3);
  ASSERT_TRUE(s.Set(""));
  EXPECT_EQ(s.Buffer().Size(), 1);
  EXPECT_STREQ(s.Get(), "");
}

TEST(GrowString, SetHonoursMaxLen) {
  struct Case {
    const char* text;
    int32_t maxLen;
    const char* expected;
  };
  const Case cases[] = {
      {"hello", 0, "hello"},                                                // <= 0 copies the whole text
      {"hello", -7, "hello"}, {"hello", 3, "hel"}, {"hello", 99, "hello"},  // stops at the NUL
      {nullptr, 0, ""},       {nullptr, 5, ""},
  };
  for (const Case& c : cases) {
    GrowString s("previous");
    EXPECT_TRUE(s.Set(c.text, c.maxLen));
    EXPECT_STREQ(s.Get(), c.expected) << (c.text ? c.text : "(null)") << " " << c.maxLen;
    EXPECT_EQ(s.Buffer().Size(), static_cast<int32_t>(std::strlen(c.expected)) + 1);
  }
}

TEST(GrowString, SetFromItsOwnSecondHalf) {
  GrowString s("abcdefgh");
  ASSERT_TRUE(s.Set(s.Get() + 4));
  EXPECT_STREQ(s.Get(), "efgh");
}

TEST(GrowString, SetFromItsOwnBlockBeyondTheSize) {
  GrowString s;
  const std::string text(200, 'x');
  ASSERT_TRUE(s.Set((text + "tail").c_str()));
  // Shrinking the text keeps the bytes in the block; setting from them grows the size again.
  const char* inner = s.Get() + 150;
  ASSERT_TRUE(s.Set("a"));
  ASSERT_TRUE(s.Set(inner));
  EXPECT_EQ(std::string(s.Get()), std::string(50, 'x') + "tail");
}

TEST(GrowString, FailedGrowthKeepsTheText) {
  GrowString s("short");
  testing::FailingRealloc failing;
  const std::string longText(1000, 'y');
  EXPECT_FALSE(s.Set(longText.c_str()));
  EXPECT_STREQ(s.Get(), "short");
  EXPECT_FALSE(s.SetFormatted(500, "%s", longText.c_str()));
  EXPECT_STREQ(s.Get(), "short");
  EXPECT_FALSE(s.AppendFormatted(500, "%s", longText.c_str()));
  EXPECT_STREQ(s.Get(), "short");
  EXPECT_FALSE(s.Append(longText.c_str()));
  EXPECT_STREQ(s.Get(), "short");
}

TEST(GrowString, SetFormattedCutsToMaxLen) {
  struct Case {
    int32_t maxLen;
    const char* text;
    const char* expected;
  };
  const Case cases[] = {
      {32, "0123456789012345678901234567890123456789", "01234567890123456789012345678901"},
      {32, "01234567890123456789012345678901", "01234567890123456789012345678901"},  // exactly 32
      {32, "short", "short"},
      {32, "", ""},
      {0, "anything", ""},
  };
  for (const Case& c : cases) {
    GrowString s("previous text");
    EXPECT_TRUE(s.SetFormatted(c.maxLen, "%s", c.text));
    EXPECT_STREQ(s.Get(), c.expected);
    EXPECT_EQ(s.Length(), static_cast<int32_t>(std::strlen(c.expected)));
  }
}

TEST(GrowString, SetFormattedIntegers) {
  GrowString s;
  ASSERT_TRUE(s.SetFormatted(64, "CH%i id=%d %s", 1, -42, "x"));
  EXPECT_STREQ(s.Get(), "CH1 id=-42 x");
}

TEST(GrowString, FormattingRefusesNegativeOrOverlongLimits) {
  GrowString s("keep");
  EXPECT_FALSE(s.SetFormatted(-1, "%s", "x"));
  EXPECT_FALSE(s.SetFormatted(kMaxInt32, "%s", "x"));  // maxLen + 1 passes INT32_MAX
  EXPECT_FALSE(s.AppendFormatted(kMaxInt32 - 2, "%s", "x"));
  EXPECT_STREQ(s.Get(), "keep");
}

TEST(GrowString, AppendFormattedAddsAtMostMaxLenCharacters) {
  GrowString s;
  ASSERT_TRUE(s.AppendFormatted(8192, "{"));
  ASSERT_TRUE(s.AppendFormatted(8192, "\"id\":%i, ", 7));
  ASSERT_TRUE(s.AppendFormatted(3, "%s", "abcdef"));
  EXPECT_STREQ(s.Get(), "{\"id\":7, abc");
  EXPECT_EQ(s.Length(), 12);
}

TEST(GrowString, SpliceInsertsBeforeTheTail) {
  GrowString s("abef");
  ASSERT_TRUE(s.Splice(2, "cd", 2, 2));
  EXPECT_STREQ(s.Get(), "abcdef");
  EXPECT_EQ(s.Buffer().Size(), 7);
}

TEST(GrowString, SpliceAppendsAtTheLength) {
  GrowString s("C:\\Users\\x");
  const char* tail = "\\Tarnwell\\WebViewCache";
  ASSERT_TRUE(s.Splice(s.Length(), tail, static_cast<int32_t>(std::strlen(tail)), 0));
  EXPECT_STREQ(s.Get(), "C:\\Users\\x\\Tarnwell\\WebViewCache");
}

TEST(GrowString, SpliceEndsTheStringAfterTheTail) {
  GrowString s("abcdefgh");
  ASSERT_TRUE(s.Splice(1, "XY", 2, 2));  // "a" + "XY" + "bc"; the rest is dropped
  EXPECT_STREQ(s.Get(), "aXYbc");
  EXPECT_EQ(s.Buffer().Size(), 6);
}

TEST(GrowString, SpliceWithNoTextOnlyEmptiesAtZero) {
  GrowString s("abc");
  EXPECT_TRUE(s.Splice(1, "x", 0, 0));
  EXPECT_STREQ(s.Get(), "abc");
  EXPECT_TRUE(s.Splice(0, "x", 0, 2));
  EXPECT_STREQ(s.Get(), "abc");
  EXPECT_TRUE(s.Splice(0, nullptr, 0, 0));
  EXPECT_STREQ(s.Get(), "");
  EXPECT_EQ(s.Buffer().Size(), 1);
}

TEST(GrowString, SpliceRefusesNegativeAndOverflowingPositions) {
  GrowString s("abc");
  EXPECT_FALSE(s.Splice(-1, "x", 1, 0));
  EXPECT_FALSE(s.Splice(0, "x", -1, 0));
  EXPECT_FALSE(s.Splice(0, "x", 1, -1));
  EXPECT_FALSE(s.Splice(kMaxInt32, "x", 1, 0));
  EXPECT_FALSE(s.Splice(1, "x", 1, kMaxInt32 - 1));
  EXPECT_STREQ(s.Get(), "abc");
  EXPECT_EQ(s.Buffer().Size(), 4);
}

TEST(GrowString, SpliceOfItsOwnTextWhenTheBlockMoves) {
  testing::MovingRealloc moving;
  GrowString s;
  const std::string text(100, 'z');
  ASSERT_TRUE(s.Set((text + "end").c_str()));
  const std::string before = s.Get();
  ASSERT_TRUE(s.Append(s.Get(), s.Length()));  // doubles the text: the block moves
  EXPECT_EQ(std::string(s.Get()), before + before);
}

TEST(GrowString, SpliceOfItsOwnTextAcrossTheMovedTail) {
  GrowString s("abcdef");
  // Insert a copy of "bcd" (which straddles the insertion point 2) at 2, keeping "cdef".
  ASSERT_TRUE(s.Splice(2, s.Get() + 1, 3, 4));
  EXPECT_STREQ(s.Get(), "abbcdcdef");
  // A source beyond the tail would be overwritten before the copy: refused.
  GrowString t("abcdef");
  EXPECT_FALSE(t.Splice(0, t.Get() + 3, 2, 1));
  EXPECT_STREQ(t.Get(), "abcdef");
}

TEST(GrowString, AppendAndAssign) {
  GrowString a;
  ASSERT_TRUE(a.Append("one"));
  ASSERT_TRUE(a.Append(", two", 2));
  ASSERT_TRUE(a.Append(""));
  EXPECT_STREQ(a.Get(), "one, ");
  GrowString b("old");
  ASSERT_TRUE(b.Assign(a));
  EXPECT_STREQ(b.Get(), "one, ");
}

}  // namespace
}  // namespace plugkit
