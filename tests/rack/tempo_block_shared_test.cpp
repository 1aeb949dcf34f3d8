// The tempo link on the platform's real named mapping: a writer in this process, and the
// tempo plug-in's writer in another process (a second Wine process under Windows).
#include <gtest/gtest.h>

#include <chrono>
#include <thread>

#include "platform/performance_clock.h"
#include "rack/tarnwell.h"
#include "tempo/block_name.h"
#include "tempo/child_process.h"
#include "tempo/tempo_block_writer.h"

namespace {

using namespace std::chrono_literals;

struct OwnedPlugin {
  explicit OwnedPlugin(const char* name) : plugin(new Tarnwell(tarnwell::MakeSharedTempoBlockSource(name))) {}
  ~OwnedPlugin() { plugin->release(); }
  Tarnwell* operator->() const { return plugin; }
  Tarnwell* plugin;
};

TEST(SharedTempoBlock, FollowsAWriterOfThisProcess) {
  tarnwell::test::BlockName name("rack_local");
  OwnedPlugin absent(name.c_str());
  EXPECT_FALSE(absent->TempoLinkState().IsMapped());
  EXPECT_EQ(absent->SnapshotSettingsAndFollowTempo(97.0).tempoBpm, 97.0);

  TempoBlockWriter writer(name.c_str());
  ASSERT_TRUE(writer.CreateTempoBlock());
  writer.WriteTempoBlock(128.0f, 0.5f);
  OwnedPlugin plugin(name.c_str());
  ASSERT_TRUE(plugin->TempoLinkState().IsMapped());
  EXPECT_EQ(plugin->SnapshotSettingsAndFollowTempo(97.0).tempoBpm, 128.0);
  EXPECT_TRUE(plugin->TempoLinkState().Linked());
  writer.WriteTempoBlock(128.0f, 0.29f);
  EXPECT_EQ(plugin->SnapshotSettingsAndFollowTempo(97.0).tempoBpm, 97.0);
  EXPECT_FALSE(plugin->TempoLinkState().Linked());
  EXPECT_EQ(plugin->TempoLinkState().LinkedTempoBpm(), 128.0f);

  // The instance that found no block maps it on a later idle retry: its snapshot's retry set
  // the shared count to 200.
  for (int tick = 0; tick < 200 && !absent->TempoLinkState().IsMapped(); ++tick) absent->OnIdleTick();
  EXPECT_TRUE(absent->TempoLinkState().IsMapped());
}

TEST(SharedTempoBlock, FollowsAnotherProcessUntilItsStampIsTwoSecondsOld) {
  tarnwell::test::BlockName name("rack_peer");
  OwnedPlugin plugin(name.c_str());
  tarnwell::test::ChildProcess peer;
  // Held long enough for idle retries 60 ticks apart to find it on a loaded machine; under
  // Windows the block goes with its last handle.
  ASSERT_TRUE(peer.Start(TEMPO_BLOCK_PEER, {"hold", name.str(), "2500", "128"}));

  // The peer creates the block when it is up; the idle retry finds it.
  const auto deadline = std::chrono::steady_clock::now() + 20s;
  double tempo = 0.0;
  while (std::chrono::steady_clock::now() < deadline) {
    plugin->OnIdleTick();
    tempo = plugin->SnapshotSettingsAndFollowTempo(97.0).tempoBpm;
    if (plugin->TempoLinkState().Linked()) break;
    std::this_thread::sleep_for(5ms);
  }
  ASSERT_TRUE(plugin->TempoLinkState().Linked());
  EXPECT_EQ(tempo, 128.0);
  const int64_t followedAt = plugkit::platform::PerformanceClockNowMs();
  EXPECT_EQ(peer.Wait(), 0);

  // The writer is gone; the mapping keeps its last record, which ages out.
  while (plugin->TempoLinkState().Linked() && plugkit::platform::PerformanceClockNowMs() - followedAt < 8000) {
    plugin->SnapshotSettingsAndFollowTempo(97.0);
    std::this_thread::sleep_for(20ms);
  }
  EXPECT_FALSE(plugin->TempoLinkState().Linked());
  EXPECT_EQ(plugin->SnapshotSettingsAndFollowTempo(97.0).tempoBpm, 97.0);
  EXPECT_EQ(plugin->TempoLinkState().LinkedTempoBpm(), 128.0f);
}

}  // namespace
