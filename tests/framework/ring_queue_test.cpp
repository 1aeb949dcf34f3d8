#include "framework/core/ring_queue.h"

#include <gtest/gtest.h>

#include <atomic>
#include <cstdint>
#include <thread>

#include "framework/core/midi_message.h"
#include "framework/core/sysex_message.h"
#include "framework/core/failing_realloc.h"

namespace plugkit {
namespace {

// A message whose bytes all derive from its sequence number, so that a torn or stale copy
// shows up as an inconsistent message.
MidiMessage Numbered(uint32_t n) {
  return MidiMessage{static_cast<int32_t>(n), static_cast<uint8_t>(n), static_cast<uint8_t>(n >> 8),
                     static_cast<uint8_t>(n >> 16)};
}

bool IsConsistent(const MidiMessage& m) {
  const auto n = static_cast<uint32_t>(m.offset);
  return m.status == static_cast<uint8_t>(n) && m.data1 == static_cast<uint8_t>(n >> 8) &&
         m.data2 == static_cast<uint8_t>(n >> 16);
}

TEST(RingQueue, HoldsItsCapacityAndDropsTheRestInOrder) {
  RingQueue<MidiMessage> ring(32);
  EXPECT_EQ(ring.Capacity(), 32);
  for (uint32_t i = 0; i < 32; ++i) EXPECT_TRUE(ring.Push(Numbered(i)));
  EXPECT_FALSE(ring.Push(Numbered(99)));  // the 33rd
  EXPECT_EQ(ring.ElementsAvailable(), 32);
  MidiMessage out;
  for (uint32_t i = 0; i < 32; ++i) {
    ASSERT_TRUE(ring.Pop(out));
    EXPECT_EQ(out.offset, static_cast<int32_t>(i));
  }
  EXPECT_FALSE(ring.Pop(out));
  EXPECT_EQ(ring.ElementsAvailable(), 0);
}

TEST(RingQueue, CountsAcrossTheWrapOfItsIndices) {
  RingQueue<MidiMessage> ring(4);
  MidiMessage out;
  uint32_t next = 0;
  for (int round = 0; round < 10; ++round) {
    for (int i = 0; i < 3; ++i) ASSERT_TRUE(ring.Push(Numbered(next + static_cast<uint32_t>(i))));
    EXPECT_EQ(ring.ElementsAvailable(), 3);
    for (int i = 0; i < 3; ++i) {
      ASSERT_TRUE(ring.Pop(out));
      EXPECT_EQ(out.offset, static_cast<int32_t>(next++));
    }
  }
}

TEST(RingQueue, WithoutStorageDropsEverything) {
  testing::FailingRealloc noMemory;
  RingQueue<SysExRecord> ring(4);
  EXPECT_EQ(ring.Capacity(), 0);
  EXPECT_FALSE(ring.Push(SysExRecord{}));
  SysExRecord out;
  EXPECT_FALSE(ring.Pop(out));
  EXPECT_EQ(ring.ElementsAvailable(), 0);
}

// One producer thread and one consumer thread, as the audio and UI threads use a ring.
// The producer either retries until each message fits (nothing may be lost) or drops what
// does not fit (what fitted must arrive, whole and in order).
void Stress(bool producerRetries) {
  constexpr uint32_t kMessages = 2'000'000;
  RingQueue<MidiMessage> ring(32);
  std::atomic<bool> producerDone{false};
  std::atomic<uint32_t> accepted{0};

  std::thread producer([&] {
    uint32_t taken = 0;
    for (uint32_t i = 0; i < kMessages; ++i) {
      bool pushed = ring.Push(Numbered(i));
      while (producerRetries && !pushed) {
        std::this_thread::yield();
        pushed = ring.Push(Numbered(i));
      }
      if (pushed) ++taken;
    }
    accepted.store(taken);
    producerDone.store(true);
  });

  uint32_t received = 0;
  int64_t last = -1;
  bool consistent = true;
  bool ordered = true;
  MidiMessage out;
  for (;;) {
    const bool done = producerDone.load();  // read before the pop: a final element is not missed
    if (ring.Pop(out)) {
      consistent = consistent && IsConsistent(out);
      ordered = ordered && out.offset > last && (!producerRetries || out.offset == last + 1);
      last = out.offset;
      ++received;
    } else if (done) {
      break;
    }
  }
  producer.join();

  EXPECT_TRUE(consistent);
  EXPECT_TRUE(ordered);
  EXPECT_EQ(received, accepted.load());
  if (producerRetries) {
    EXPECT_EQ(received, kMessages);
  }
}

TEST(RingQueueStress, TwoThreadsLoseNothingThatFitted) { Stress(true); }

TEST(RingQueueStress, TwoThreadsKeepOrderWhileDropping) { Stress(false); }

TEST(SysExRecord, TakesAtMostFiveHundredTwelveBytes) {
  uint8_t bytes[SysExRecord::kMaxSize + 1] = {};
  for (int i = 0; i <= SysExRecord::kMaxSize; ++i) bytes[i] = static_cast<uint8_t>(i);
  SysExRecord record;
  ASSERT_TRUE(MakeSysExRecord(SysExMessage{7, SysExRecord::kMaxSize, bytes}, record));
  EXPECT_EQ(record.offset, 7);
  EXPECT_EQ(record.data[511], static_cast<uint8_t>(511));

  const SysExRecord before = record;
  EXPECT_FALSE(MakeSysExRecord(SysExMessage{1, SysExRecord::kMaxSize + 1, bytes}, record));
  EXPECT_FALSE(MakeSysExRecord(SysExMessage{1, -1, bytes}, record));
  EXPECT_FALSE(MakeSysExRecord(SysExMessage{1, 3, nullptr}, record));
  EXPECT_EQ(record.offset, before.offset);
  EXPECT_EQ(record.size, before.size);
}

TEST(SysExRecord, ViewLimitsAnInvalidSize) {
  SysExRecord record;
  record.size = 100000;
  EXPECT_EQ(ViewOfSysExRecord(record).size, SysExRecord::kMaxSize);
  record.size = -5;
  EXPECT_EQ(ViewOfSysExRecord(record).size, 0);
  EXPECT_EQ(ViewOfSysExRecord(record).data, record.data);
}

}  // namespace
}  // namespace plugkit
