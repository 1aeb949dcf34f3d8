// The tempo block in one process: layout, the writer's update rule, the clock it stamps with
// and the shared-memory service under it.
#include <gtest/gtest.h>

#include <cstring>

#include "platform/performance_clock.h"
#include "platform/process_id.h"
#include "platform/shared_memory.h"
#include "tempo/block_name.h"
#include "tempo/tempo_block_writer.h"

namespace {

using plugkit::platform::CounterToMs;
using plugkit::platform::SharedMemory;
using tarnwell::test::BlockName;

TempoBlockReading Read(const TempoBlock* block) {
  TempoBlockReading reading{};
  EXPECT_TRUE(TryReadTempoBlock(*block, &reading));
  return reading;
}

TEST(PerformanceClock, CounterToMsTable) {
  struct Case {
    int64_t counter, frequency, ms;
  };
  const Case cases[] = {
      {123456789, 10000000, 12345},                                      // the 100 ns path
      {132000000, 24000000, 5500},                                       //
      {8948862, 3579545, 2499},                                          // remainder 1789772 ticks is 499.99986 ms
      {9999, 10000000, 0},                                               // truncates below a whole millisecond
      {3579545LL * 3600 * 24 * 365, 3579545, 1000LL * 3600 * 24 * 365},  // a year of uptime
      {INT64_MAX, 10000000000LL, INT64_MAX / 10000000},                  // remainder x 1e9 needs more than 64 bits
      {12345, 0, 0},  // a broken frequency gives 0, not a division by zero
      {-5, 10000000, 0},
  };
  for (const auto& c : cases)
    EXPECT_EQ(CounterToMs(c.counter, c.frequency), c.ms) << c.counter << " at " << c.frequency << " Hz";
}

TEST(PerformanceClock, NowIsMonotonicAndNearTheCounterOfThisProcess) {
  const int64_t a = plugkit::platform::PerformanceClockNowMs();
  const int64_t b = plugkit::platform::PerformanceClockNowMs();
  EXPECT_GT(a, 0);
  EXPECT_GE(b, a);
}

TEST(TempoBlockLayout, FieldsSitWhereReadersOfOtherBuildsLookForThem) {
  TempoBlock block{};
  block.magic = kTempoBlockMagic;
  unsigned char bytes[sizeof block];
  std::memcpy(bytes, &block, sizeof block);
  // 'TTMP' with the first character most significant, stored little-endian.
  EXPECT_EQ(bytes[4], 'P');
  EXPECT_EQ(bytes[5], 'M');
  EXPECT_EQ(bytes[6], 'T');
  EXPECT_EQ(bytes[7], 'T');
  EXPECT_STREQ(kTempoBlockName, "Tarnwell_Tempo_v1");
}

TEST(TempoBlockWriter, FirstWriterOfAZeroPageStartsTheSequenceAtZero) {
  BlockName name("fresh");
  TempoBlockWriter writer(name.c_str());
  ASSERT_TRUE(writer.CreateTempoBlock());
  const TempoBlock* block = writer.View();
  EXPECT_EQ(LoadTempoField(block->magic), kTempoBlockMagic);
  EXPECT_EQ(LoadTempoField(block->version), 1u);
  EXPECT_EQ(LoadTempoField(block->sequence), 0u);

  const int64_t before = plugkit::platform::PerformanceClockNowMs();
  writer.WriteTempoBlock(128.0f, 0.75f);
  const auto reading = Read(block);
  EXPECT_EQ(reading.sequence, 2u);
  EXPECT_EQ(reading.bpm, 128.0f);
  EXPECT_EQ(reading.confidence, 0.75f);
  EXPECT_EQ(reading.writerPid, plugkit::platform::CurrentProcessId());
  EXPECT_GE(reading.timestampMs, before);
  EXPECT_LE(reading.timestampMs, plugkit::platform::PerformanceClockNowMs());
  EXPECT_EQ(LoadTempoField(block->reserved0), 0u);
  EXPECT_EQ(LoadTempoField(block->reserved1), 0u);
}

TEST(TempoBlockWriter, EveryUpdateLeavesTheSequenceEvenAndTwoHigher) {
  BlockName name("steps");
  TempoBlockWriter writer(name.c_str());
  ASSERT_TRUE(writer.CreateTempoBlock());
  uint32_t previous = LoadTempoField(writer.View()->sequence);
  for (int i = 0; i < 50; ++i) {
    writer.WriteTempoBlock(100.0f + i, 0.5f);
    const uint32_t now = LoadTempoField(writer.View()->sequence);
    EXPECT_EQ(now, previous + 2);
    previous = now;
  }
}

TEST(TempoBlockWriter, SecondInstanceKeepsAValidRecordUntilItWrites) {
  BlockName name("second");
  TempoBlockWriter first(name.c_str());
  ASSERT_TRUE(first.CreateTempoBlock());
  first.WriteTempoBlock(90.0f, 0.5f);
  first.WriteTempoBlock(91.0f, 0.6f);
  const auto published = Read(first.View());

  TempoBlockWriter second(name.c_str());
  ASSERT_TRUE(second.CreateTempoBlock());
  const auto kept = Read(second.View());
  EXPECT_EQ(kept.sequence, published.sequence);
  EXPECT_EQ(kept.bpm, 91.0f);
  EXPECT_EQ(kept.confidence, 0.6f);
  EXPECT_EQ(kept.timestampMs, published.timestampMs);

  second.WriteTempoBlock(140.0f, 0.9f);
  EXPECT_EQ(Read(first.View()).sequence, published.sequence + 2);
  EXPECT_EQ(Read(first.View()).bpm, 140.0f);
}

// The record as some other program (or an old crash) may have left it.
void Scribble(const char* name, uint32_t sequence, uint32_t magic) {
  SharedMemory raw;
  ASSERT_TRUE(raw.CreateOrOpen(name, sizeof(TempoBlock)));
  auto* block = static_cast<TempoBlock*>(raw.Data());
  std::memset(block, 0xA5, sizeof *block);
  block->sequence = sequence;
  block->magic = magic;
  block->bpm = 77.0f;
}

TEST(TempoBlockWriter, ForeignRecordIsZeroedBeforeUse) {
  BlockName name("foreign");
  SharedMemory keepAlive;  // keeps the scribbled record alive where names die with handles
  ASSERT_TRUE(keepAlive.CreateOrOpen(name.c_str(), sizeof(TempoBlock)));
  Scribble(name.c_str(), 12345, 0xDEADBEEF);

  TempoBlockWriter writer(name.c_str());
  ASSERT_TRUE(writer.CreateTempoBlock());
  const TempoBlock* block = writer.View();
  EXPECT_EQ(LoadTempoField(block->sequence), 0u);
  EXPECT_EQ(LoadTempoField(block->magic), kTempoBlockMagic);
  EXPECT_EQ(LoadTempoField(block->bpm), 0.0f);
  EXPECT_EQ(LoadTempoField(block->timestampMs), 0);
  EXPECT_EQ(LoadTempoField(block->writerPid), 0u);
  EXPECT_EQ(LoadTempoField(block->reserved0), 0u);
  EXPECT_EQ(LoadTempoField(block->reserved1), 0u);
  writer.WriteTempoBlock(120.0f, 1.0f);
  EXPECT_EQ(Read(block).sequence, 2u);
}

TEST(TempoBlockWriter, ContinuesFromTheEvenValueBelowAnOddSequence) {
  // What two colliding writers, or one that died mid-update, leave behind.
  BlockName name("odd");
  SharedMemory keepAlive;
  ASSERT_TRUE(keepAlive.CreateOrOpen(name.c_str(), sizeof(TempoBlock)));
  Scribble(name.c_str(), 7, kTempoBlockMagic);

  TempoBlockWriter writer(name.c_str());
  ASSERT_TRUE(writer.CreateTempoBlock());
  TempoBlockReading reading{};
  EXPECT_FALSE(TryReadTempoBlock(*writer.View(), &reading)) << "an odd record reads as busy";
  writer.WriteTempoBlock(120.0f, 1.0f);
  ASSERT_TRUE(TryReadTempoBlock(*writer.View(), &reading));
  EXPECT_EQ(reading.sequence, 8u);
  EXPECT_EQ(reading.bpm, 120.0f);
}

TEST(TempoBlockWriter, CreateIsIdempotentAndCloseUnmaps) {
  BlockName name("idem");
  TempoBlockWriter writer(name.c_str());
  EXPECT_FALSE(writer.IsMapped());
  writer.WriteTempoBlock(120.0f, 1.0f);  // unmapped: nothing happens
  ASSERT_TRUE(writer.CreateTempoBlock());
  const TempoBlock* view = writer.View();
  writer.WriteTempoBlock(120.0f, 1.0f);
  ASSERT_TRUE(writer.CreateTempoBlock());
  EXPECT_EQ(writer.View(), view);
  EXPECT_EQ(LoadTempoField(view->sequence), 2u) << "a second create must not reset the record";
  writer.CloseTempoBlock();
  EXPECT_FALSE(writer.IsMapped());
  writer.WriteTempoBlock(120.0f, 1.0f);
  writer.CloseTempoBlock();
}

TEST(TempoBlockWriter, UnusableNamesAreRefused) {
  const std::string tooLong(plugkit::platform::kMaxSharedMemoryName + 1, 'a');
  for (const char* name : {"", "a/b", "..\\x", "Global\\Tarnwell", "name with space", tooLong.c_str()}) {
    TempoBlockWriter writer(name);
    EXPECT_FALSE(writer.CreateTempoBlock()) << name;
    EXPECT_FALSE(writer.IsMapped());
  }
  TempoBlockWriter none(nullptr);
  EXPECT_FALSE(none.CreateTempoBlock());
}

TEST(SharedMemory, ReadOnlyOpenNeedsAnExistingRegion) {
  BlockName name("ro");
  SharedMemory reader;
  EXPECT_FALSE(reader.OpenReadOnly(name.c_str(), 40)) << "no region by that name yet";
  EXPECT_FALSE(reader.IsOpen());
  SharedMemory writer;
  ASSERT_TRUE(writer.CreateOrOpen(name.c_str(), 40));
  EXPECT_TRUE(reader.OpenReadOnly(name.c_str(), 40));
  EXPECT_FALSE(reader.OpenReadOnly("bad/name", 40));
  EXPECT_FALSE(reader.IsOpen()) << "a failed open leaves nothing held";
}

TEST(SharedMemory, BothViewsSeeTheSameBytesAndARegionIsNeverShrunk) {
  BlockName name("share");
  SharedMemory big;
  ASSERT_TRUE(big.CreateOrOpen(name.c_str(), 64));
  static_cast<unsigned char*>(big.Data())[60] = 0x5A;

  SharedMemory second;
  ASSERT_TRUE(second.CreateOrOpen(name.c_str(), 40));
  static_cast<unsigned char*>(second.Data())[3] = 0x33;
  SharedMemory reader;
  ASSERT_TRUE(reader.OpenReadOnly(name.c_str(), 64));
  EXPECT_EQ(static_cast<const unsigned char*>(reader.Data())[60], 0x5A);
  EXPECT_EQ(static_cast<const unsigned char*>(reader.Data())[3], 0x33);

  SharedMemory moved(std::move(reader));
  EXPECT_FALSE(reader.IsOpen());
  ASSERT_TRUE(moved.IsOpen());
  EXPECT_EQ(moved.Size(), 64u);
  moved.Close();
  EXPECT_FALSE(moved.IsOpen());
}

}  // namespace
