#include "framework/core/grow_buffer.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <cstring>
#include <limits>

#include "failing_realloc.h"
#include "moving_realloc.h"

namespace plugkit {
namespace {

struct GrowthCase {
  int32_t granularity;
  int32_t size;
  int32_t capacity;
};

class GrowBufferGrowth : public ::testing::TestWithParam<GrowthCase> {};

TEST_P(GrowBufferGrowth, FirstGrowthGivesSpecifiedCapacity) {
  const GrowthCase& c = GetParam();
  GrowBuffer buffer(c.granularity);
  EXPECT_NE(buffer.Resize(c.size), nullptr);
  EXPECT_EQ(buffer.Size(), c.size);
  EXPECT_EQ(buffer.Capacity(), c.capacity);
}

INSTANTIATE_TEST_SUITE_P(Part1106Examples, GrowBufferGrowth,
                         ::testing::Values(GrowthCase{128, 1, 129},                 // step = granularity
                                           GrowthCase{128, 1000, 1500},             // step = n / 2
                                           GrowthCase{4096, 8, 4000},               // 8 + 96 + 4096 -> 4096, less 96
                                           GrowthCase{4096, 10000, 12192},          // step 5000 -> 4096
                                           GrowthCase{4096, 20000000, 24190880}));  // step clamped to 4 MiB

TEST(GrowBuffer, DataIsNullWhileSizeIsZeroEvenWithABlock) {
  GrowBuffer buffer(128);
  EXPECT_EQ(buffer.Data(), nullptr);
  buffer.Resize(10);
  EXPECT_NE(buffer.Data(), nullptr);
  EXPECT_EQ(buffer.Resize(0), nullptr);
  EXPECT_EQ(buffer.Data(), nullptr);
  EXPECT_EQ(buffer.Capacity(), 138);  // no shrink asked: the block stays
}

TEST(GrowBuffer, NegativeSizeCountsAsZeroAndReleasesOnlyWithShrink) {
  GrowBuffer kept(128);
  kept.Resize(10);
  kept.Resize(-5, false);
  EXPECT_EQ(kept.Size(), 0);
  EXPECT_EQ(kept.Capacity(), 138);

  GrowBuffer released(128);
  released.Resize(10);
  EXPECT_EQ(released.Resize(-5, true), nullptr);
  EXPECT_EQ(released.Size(), 0);
  EXPECT_EQ(released.Capacity(), 0);
}

TEST(GrowBuffer, ShrinkReallocatesOnlyBelowThresholdWithAllowShrink) {
  GrowBuffer buffer(128);
  buffer.Resize(6667);  // 6667 + 3333
  ASSERT_EQ(buffer.Capacity(), 10000);

  buffer.Resize(6000, true);  // threshold min(5000, 10000 - 512) = 5000
  EXPECT_EQ(buffer.Capacity(), 10000);
  buffer.Resize(10, false);
  EXPECT_EQ(buffer.Capacity(), 10000);
  buffer.Resize(6000);
  buffer.Resize(10, true);
  EXPECT_EQ(buffer.Capacity(), 138);
  EXPECT_EQ(buffer.Size(), 10);
}

TEST(GrowBuffer, ShrinkKeepsLeadingBytes) {
  GrowBuffer buffer(128);
  auto* bytes = static_cast<unsigned char*>(buffer.Resize(6667));
  for (int i = 0; i < 6667; ++i) bytes[i] = static_cast<unsigned char>(i);
  bytes = static_cast<unsigned char*>(buffer.Resize(300, true));
  ASSERT_EQ(buffer.Capacity(), 450);
  for (int i = 0; i < 300; ++i) ASSERT_EQ(bytes[i], static_cast<unsigned char>(i));
}

TEST(GrowBuffer, CapacityBeyondInt32FailsWithoutChange) {
  // n + n / 2 and n + 96 + step pass INT32_MAX: a failed growth, not a wrapped capacity.
  for (const int32_t granularity : {128, 4096}) {
    GrowBuffer buffer(granularity);
    void* data = buffer.Resize(100);
    const int32_t capacity = buffer.Capacity();
    EXPECT_EQ(buffer.Resize(std::numeric_limits<int32_t>::max()), data);
    EXPECT_EQ(buffer.Size(), 100);
    EXPECT_EQ(buffer.Capacity(), capacity);
  }
}

TEST(GrowBuffer, FailedAllocationKeepsBlockCapacityAndSize) {
  GrowBuffer buffer(128);
  auto* data = static_cast<char*>(buffer.Resize(5));
  std::memcpy(data, "abcd", 5);
  {
    testing::FailingRealloc failing;
    EXPECT_EQ(buffer.Resize(500), data);
    EXPECT_EQ(buffer.Size(), 5);
    EXPECT_EQ(buffer.Capacity(), 133);
    EXPECT_STREQ(static_cast<char*>(buffer.Data()), "abcd");
  }
  EXPECT_NE(buffer.Resize(500), nullptr);
  EXPECT_EQ(buffer.Size(), 500);
}

TEST(GrowBuffer, AssignCopiesAndShrinks) {
  GrowBuffer source(128);
  std::memcpy(source.Resize(4), "xyz", 4);
  GrowBuffer target(128);
  target.Resize(6667);
  EXPECT_TRUE(target.Assign(source));
  EXPECT_EQ(target.Size(), 4);
  EXPECT_EQ(target.Capacity(), 132);
  EXPECT_STREQ(static_cast<const char*>(target.Data()), "xyz");
}

TEST(GrowBuffer, AssignThatCannotGrowEmptiesTarget) {
  GrowBuffer source(128);
  source.Resize(1000);
  GrowBuffer target(128);
  target.Resize(10);
  testing::FailingRealloc failing;
  EXPECT_FALSE(target.Assign(source));
  EXPECT_EQ(target.Size(), 0);
  EXPECT_EQ(target.Capacity(), 0);
}

TEST(GrowBuffer, AppendAddsBytesAndRefusesBadLengths) {
  GrowBuffer buffer(128);
  EXPECT_TRUE(buffer.Append("ab", 2));
  EXPECT_TRUE(buffer.Append("cd", 2));
  EXPECT_TRUE(buffer.Append(nullptr, 0));
  EXPECT_FALSE(buffer.Append("x", -1));
  EXPECT_FALSE(buffer.Append(nullptr, 1));
  ASSERT_EQ(buffer.Size(), 4);
  EXPECT_EQ(std::memcmp(buffer.Data(), "abcd", 4), 0);
  EXPECT_EQ(buffer.Count<uint16_t>(), 2);
}

TEST(GrowBuffer, AppendOfItsOwnBytesSurvivesTheMove) {
  testing::MovingRealloc moving;
  GrowBuffer buffer(128);
  auto* bytes = static_cast<unsigned char*>(buffer.Resize(129));  // capacity 257: the append moves it
  for (int i = 0; i < 129; ++i) bytes[i] = static_cast<unsigned char>(i);
  ASSERT_TRUE(buffer.Append(buffer.Data(), buffer.Size()));
  ASSERT_EQ(buffer.Size(), 258);
  const auto* after = static_cast<const unsigned char*>(buffer.Data());
  for (int i = 0; i < 258; ++i) ASSERT_EQ(after[i], static_cast<unsigned char>(i % 129)) << i;
}

TEST(GrowBuffer, MoveTransfersTheBlock) {
  GrowBuffer a(128);
  void* data = a.Resize(10);
  GrowBuffer b(std::move(a));
  EXPECT_EQ(b.Data(), data);
  EXPECT_EQ(b.Size(), 10);
  EXPECT_EQ(a.Size(), 0);  // NOLINT(bugprone-use-after-move): moved-from is empty by contract
  EXPECT_EQ(a.Capacity(), 0);
}

}  // namespace
}  // namespace plugkit
