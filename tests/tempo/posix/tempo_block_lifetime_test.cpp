// The stand-in keeps a region until its name is removed (shm objects persist), so a block
// closed by its last writer is still there for the next one; Windows differs (win32/).
#include <gtest/gtest.h>

#include "platform/shared_memory.h"
#include "tempo/block_name.h"
#include "tempo/child_process.h"
#include "tempo/tempo_block_pairs.h"
#include "tempo/tempo_block_writer.h"

namespace {

using namespace tarnwell::test;

TEST(TempoBlockLifetime, RecordStaysAfterItsLastWriterCloses) {
  BlockName name("lifetime");
  ChildProcess peer;
  ASSERT_TRUE(peer.Start(TEMPO_BLOCK_PEER, {"hold", name.str(), "0", "111"}));
  ASSERT_EQ(peer.Wait(), kPeerOk);
  plugkit::platform::SharedMemory memory;
  ASSERT_TRUE(memory.OpenReadOnly(name.c_str(), sizeof(TempoBlock)));
  TempoBlockReading reading{};
  ASSERT_TRUE(TryReadTempoBlock(*static_cast<const TempoBlock*>(memory.Data()), &reading));
  EXPECT_EQ(reading.bpm, 111.0f);
  EXPECT_EQ(reading.sequence, 2u);
}

}  // namespace
