// The tempo block between two processes, with the peer program (tempo_block_peer.cpp) as the
// other side: what one writes the other reads, a reader never accepts a torn record, and
// writers that collide leave a record that later readers accept.
#include <gtest/gtest.h>

#include <chrono>
#include <cstdio>
#include <string>
#include <thread>

#include "platform/performance_clock.h"
#include "platform/process_id.h"
#include "platform/shared_memory.h"
#include "tempo/block_name.h"
#include "tempo/child_process.h"
#include "tempo/tempo_block_pairs.h"
#include "tempo/tempo_block_writer.h"

namespace {

using namespace tarnwell::test;
using plugkit::platform::PerformanceClockNowMs;
using plugkit::platform::SharedMemory;

int RunPeer(const std::vector<std::string>& arguments) {
  ChildProcess peer;
  if (!peer.Start(TEMPO_BLOCK_PEER, arguments)) return -100;
  return peer.Wait();
}

// Maps the block once the peer has created and written it; false after a generous wait.
bool MapWhenWritten(const char* name, SharedMemory* memory) {
  for (int i = 0; i < 2000; ++i) {
    if (memory->IsOpen() || memory->OpenReadOnly(name, sizeof(TempoBlock))) {
      if (LoadTempoField(static_cast<const TempoBlock*>(memory->Data())->sequence) >= 2) return true;
    }
    std::this_thread::sleep_for(std::chrono::milliseconds(5));
  }
  return false;
}

TEST(TempoBlockAcrossProcesses, ReaderProcessSeesTheWritersRecord) {
  BlockName name("visible");
  TempoBlockWriter writer(name.c_str());
  ASSERT_TRUE(writer.CreateTempoBlock());
  writer.WriteTempoBlock(128.5f, 0.75f);
  const std::string pid = std::to_string(plugkit::platform::CurrentProcessId());
  EXPECT_EQ(RunPeer({"reader", name.str(), "128.5", "0.75", pid}), kPeerOk);
  // The check can fail: a wrong pid is refused.
  EXPECT_EQ(RunPeer({"reader", name.str(), "128.5", "0.75", pid + "1"}), kPeerMismatch);
}

TEST(TempoBlockAcrossProcesses, NoMappingMeansNoBlockForTheReader) {
  BlockName name("absent");
  EXPECT_EQ(RunPeer({"inspect", name.str()}), kPeerNoBlock);
}

TEST(TempoBlockAcrossProcesses, ReaderNeverAcceptsATornRecord) {
  BlockName name("torn");
  ChildProcess peer;
  ASSERT_TRUE(peer.Start(TEMPO_BLOCK_PEER, {"writer", name.str(), "1.0", "0"}));
  SharedMemory memory;
  ASSERT_TRUE(MapWhenWritten(name.c_str(), &memory));
  const auto& block = *static_cast<const TempoBlock*>(memory.Data());

  uint64_t accepted = 0, tornAccepted = 0, busy = 0, naiveTorn = 0;
  const int64_t until = PerformanceClockNowMs() + 900;
  while (PerformanceClockNowMs() < until) {
    for (int i = 0; i < 1000; ++i) {
      TempoBlockReading reading{};
      if (TryReadTempoBlock(block, &reading)) {
        ++accepted;
        if (reading.confidence != PairedConfidence(reading.bpm)) ++tornAccepted;
      } else {
        ++busy;
      }
      // The same fields without the sequence check, to show the test can see tearing.
      const float bpm = LoadTempoField(block.bpm);
      if (LoadTempoField(block.confidence) != PairedConfidence(bpm)) ++naiveTorn;
    }
  }
  EXPECT_EQ(peer.Wait(), kPeerOk);
  std::printf("accepted %llu, busy or changed %llu, torn without the sequence check %llu\n",
              static_cast<unsigned long long>(accepted), static_cast<unsigned long long>(busy),
              static_cast<unsigned long long>(naiveTorn));
  EXPECT_GT(accepted, 0u);
  EXPECT_EQ(tornAccepted, 0u);
}

TEST(TempoBlockAcrossProcesses, CollidingWritersLeaveAnEvenSequence) {
  BlockName name("collide");
  // This process holds the mapping throughout, so the record outlives the writers.
  TempoBlockWriter holder(name.c_str());
  ASSERT_TRUE(holder.CreateTempoBlock());
  for (int round = 0; round < 4; ++round) {
    // Both start on the same clock reading, well after either could have started up.
    const std::string start = std::to_string(PerformanceClockNowMs() + 400);
    ChildProcess a, b;
    ASSERT_TRUE(a.Start(TEMPO_BLOCK_PEER, {"collide", name.str(), start, "0.3"}));
    ASSERT_TRUE(b.Start(TEMPO_BLOCK_PEER, {"collide", name.str(), start, "0.3"}));
    EXPECT_EQ(a.Wait(), kPeerOk);
    EXPECT_EQ(b.Wait(), kPeerOk);
    const uint32_t sequence = LoadTempoField(holder.View()->sequence);
    EXPECT_EQ(sequence & 1u, 0u) << "round " << round << " ended with sequence " << sequence;
    EXPECT_EQ(RunPeer({"inspect", name.str()}), kPeerOk) << "round " << round;
  }
  // A single writer after the collisions is read at once.
  holder.WriteTempoBlock(99.0f, 0.5f);
  TempoBlockReading reading{};
  ASSERT_TRUE(TryReadTempoBlock(*holder.View(), &reading));
  EXPECT_EQ(reading.bpm, 99.0f);
}

}  // namespace
