// A Windows mapping lives while some process holds a handle to it; when the last one closes
// the name disappears and the next creator starts from a zeroed record.
#include <gtest/gtest.h>

#include <windows.h>

#include "tempo/block_name.h"
#include "tempo/child_process.h"
#include "tempo/tempo_block_pairs.h"
#include "tempo/tempo_block_writer.h"

namespace {

using namespace tarnwell::test;

TEST(TempoBlockLifetime, NameDisappearsWithTheLastHandle) {
  BlockName name("lifetime");
  ChildProcess peer;
  ASSERT_TRUE(peer.Start(TEMPO_BLOCK_PEER, {"hold", name.str(), "0", "111"}));
  ASSERT_EQ(peer.Wait(), kPeerOk);
  HANDLE mapping = OpenFileMappingA(FILE_MAP_READ, FALSE, name.c_str());
  EXPECT_EQ(mapping, nullptr);
  if (mapping != nullptr) CloseHandle(mapping);

  TempoBlockWriter writer(name.c_str());
  ASSERT_TRUE(writer.CreateTempoBlock());
  EXPECT_EQ(LoadTempoField(writer.View()->sequence), 0u);
  EXPECT_EQ(LoadTempoField(writer.View()->bpm), 0.0f);
}

TEST(TempoBlockLifetime, HeldMappingKeepsTheRecordForTheNextProcess) {
  BlockName name("held");
  TempoBlockWriter holder(name.c_str());
  ASSERT_TRUE(holder.CreateTempoBlock());
  ChildProcess peer;
  ASSERT_TRUE(peer.Start(TEMPO_BLOCK_PEER, {"hold", name.str(), "0", "111"}));
  ASSERT_EQ(peer.Wait(), kPeerOk);
  TempoBlockReading reading{};
  ASSERT_TRUE(TryReadTempoBlock(*holder.View(), &reading));
  EXPECT_EQ(reading.bpm, 111.0f);
}

}  // namespace
