// The tempo link: the seqlock read of the shared block with a scripted memory, the rules a
// reading must pass, and the mapping shared by snapshots and idle ticks.
#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <thread>
#include <vector>

#include "fake_tempo_source.h"
#include "rack/tempo_block_read.h"
#include "rack/tempo_link.h"

namespace {

using tarnwell::ReadFollowedTempo;
using tarnwell::TempoLink;

// A block whose every sequence load returns the next scripted value.
struct ScriptedBlock {
  mutable std::vector<uint32_t> sequences;
  mutable size_t next = 0;
  uint32_t magic = kTempoBlockMagic;
  float bpm = 128.0f;
  float confidence = 0.9f;
  int64_t stamp = 1000;
  mutable int fieldReads = 0;

  uint32_t Magic() const { return magic; }
  uint32_t AcquireSequence() const { return Next(); }
  uint32_t Sequence() const { return Next(); }
  float Bpm() const {
    ++fieldReads;
    return bpm;
  }
  float Confidence() const { return confidence; }
  int64_t TimestampMs() const { return stamp; }
  void AcquireFence() const {}
  uint32_t Next() const { return next < sequences.size() ? sequences[next++] : 0; }
};

TEST(TempoBlockRead, SequenceRulesDecideWhichTryCounts) {
  struct Case {
    const char* what;
    std::vector<uint32_t> sequences;
    bool followed;
    int fieldReads;
  };
  const Case cases[] = {
      {"stable even", {4, 4}, true, 1},
      {"odd on all four tries", {5, 5, 5, 5}, false, 0},
      {"changed on try 1, stable on try 2", {4, 6, 6, 6}, true, 2},
      {"busy three times, stable on the fourth", {1, 3, 5, 8, 8}, true, 1},
      {"changed on every try", {2, 4, 4, 6, 6, 8, 8, 10}, false, 4},
  };
  for (const Case& c : cases) {
    ScriptedBlock block;
    block.sequences = c.sequences;
    const auto bpm = ReadFollowedTempo(block, 1500);
    EXPECT_EQ(bpm.has_value(), c.followed) << c.what;
    EXPECT_EQ(block.fieldReads, c.fieldReads) << c.what;
  }
}

TEST(TempoBlockRead, ReadingMustBeFreshConfidentAndATempo) {
  const float nan = std::numeric_limits<float>::quiet_NaN();
  const float inf = std::numeric_limits<float>::infinity();
  struct Case {
    const char* what;
    float bpm, confidence;
    int64_t stamp, now;
    uint32_t magic;
    bool followed;
  };
  const Case cases[] = {
      {"1999 ms old, confidence 0.3", 128.0f, 0.3f, 1000, 2999, kTempoBlockMagic, true},
      {"2000 ms old", 128.0f, 0.3f, 1000, 3000, kTempoBlockMagic, false},
      {"confidence 0.29", 128.0f, 0.29f, 1000, 1000, kTempoBlockMagic, false},
      {"bpm 0", 0.0f, 0.9f, 1000, 1000, kTempoBlockMagic, false},
      {"negative bpm", -90.0f, 0.9f, 1000, 1000, kTempoBlockMagic, false},
      {"confidence 0", 128.0f, 0.0f, 1000, 1000, kTempoBlockMagic, false},
      {"stamp from the future", 128.0f, 0.9f, 1001, 1000, kTempoBlockMagic, false},
      {"bpm NaN", nan, 0.9f, 1000, 1000, kTempoBlockMagic, false},
      {"bpm infinite", inf, 0.9f, 1000, 1000, kTempoBlockMagic, false},
      {"foreign magic", 128.0f, 0.9f, 1000, 1000, 0x504D5454, false},
  };
  for (const Case& c : cases) {
    ScriptedBlock block;
    block.sequences = {2, 2};
    block.bpm = c.bpm;
    block.confidence = c.confidence;
    block.stamp = c.stamp;
    block.magic = c.magic;
    const auto bpm = ReadFollowedTempo(block, c.now);
    EXPECT_EQ(bpm.has_value(), c.followed) << c.what;
    if (bpm) {
      EXPECT_EQ(*bpm, c.bpm) << c.what;
    }
  }
}

TEST(TempoBlockRead, MappedBlockReadsTheLittleEndianLayout) {
  test::FakeTempoState state;
  state.Write(97.5f, 0.75f, 5000, 8);
  const tarnwell::MappedTempoBlock block(*reinterpret_cast<const TempoBlock*>(state.block));
  EXPECT_EQ(block.Magic(), kTempoBlockMagic);
  EXPECT_EQ(state.block[4], 'P');  // "TTMP" with its first letter most significant
  EXPECT_EQ(block.AcquireSequence(), 8u);
  EXPECT_EQ(block.Bpm(), 97.5f);
  EXPECT_EQ(block.Confidence(), 0.75f);
  EXPECT_EQ(block.TimestampMs(), 5000);
  EXPECT_EQ(ReadFollowedTempo(block, 6999), 97.5f);
}

TEST(TempoLink, FollowsTheBlockAndKeepsItsLastTempoWhenItDrops) {
  test::FakeTempoState state;
  state.available = true;
  state.Write(128.0f, 0.3f, state.nowMs - 1999);
  TempoLink link(test::SourceOf(state));
  ASSERT_TRUE(link.Map());
  EXPECT_EQ(link.FollowTempo(90.0, true), 128.0);
  EXPECT_TRUE(link.Linked());
  state.nowMs += 1;  // 2000 ms old
  EXPECT_EQ(link.FollowTempo(90.0, true), 90.0);
  EXPECT_FALSE(link.Linked());
  EXPECT_EQ(link.LinkedTempoBpm(), 128.0f);
  state.Write(0.0f, 0.9f, state.nowMs);
  EXPECT_EQ(link.FollowTempo(120.0, true), 120.0);
  EXPECT_EQ(link.LinkedTempoBpm(), 128.0f);
}

TEST(TempoLink, SnapshotsRetryEvery200AndIdleTicksEvery60OnOneCount) {
  test::FakeTempoState state;
  TempoLink link(test::SourceOf(state));
  // The count starts at 0: the first snapshot without a block retries at once.
  link.FollowTempo(120.0, true);
  EXPECT_EQ(state.openAttempts, 1);
  for (int i = 0; i < 199; ++i) link.FollowTempo(120.0, true);
  EXPECT_EQ(state.openAttempts, 1);
  link.FollowTempo(120.0, true);
  EXPECT_EQ(state.openAttempts, 2);
  // The idle ticks count down the same number, and restart it from 60.
  for (int i = 0; i < 199; ++i) link.IdleRetry();
  EXPECT_EQ(state.openAttempts, 2);
  link.IdleRetry();
  EXPECT_EQ(state.openAttempts, 3);
  EXPECT_EQ(link.RetryCountdown(), 60);
  state.available = true;
  for (int i = 0; i < 60; ++i) link.IdleRetry();
  EXPECT_EQ(state.openAttempts, 4);
  EXPECT_TRUE(link.IsMapped());
  // Mapped: no more counting and no more opening.
  for (int i = 0; i < 500; ++i) {
    link.IdleRetry();
    link.FollowTempo(120.0, true);
  }
  EXPECT_EQ(state.opens, 1);
}

TEST(TempoLink, AudioThreadAsksTheIdleTickToMap) {
  test::FakeTempoState state;
  state.available = true;
  TempoLink link(test::SourceOf(state));
  link.FollowTempo(120.0, /*mayMap=*/false);
  EXPECT_EQ(state.openAttempts, 0);
  EXPECT_FALSE(link.IsMapped());
  link.IdleRetry();  // the count stands at 200, but the request is served at once
  EXPECT_EQ(state.openAttempts, 1);
  EXPECT_TRUE(link.IsMapped());
}

TEST(TempoLink, ThreadsRacingToMapOpenTheBlockOnce) {
  test::FakeTempoState state;
  state.available = true;
  for (int round = 0; round < 50; ++round) {
    state.opens = state.closes = 0;
    {
      TempoLink link(test::SourceOf(state));
      std::vector<std::thread> threads;
      for (int t = 0; t < 4; ++t)
        threads.emplace_back([&link] {
          for (int i = 0; i < 20; ++i) link.Map();
        });
      for (auto& thread : threads) thread.join();
      EXPECT_TRUE(link.IsMapped());
    }
    EXPECT_EQ(state.opens, 1);
    EXPECT_EQ(state.closes, 1);
  }
}

}  // namespace
