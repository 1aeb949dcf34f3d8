// A shm object exists before its creator sizes it, and touching a mapping past the object's
// end raises SIGBUS: the stand-in refuses such an object instead of mapping it.
#include <gtest/gtest.h>

#include "platform/shared_memory.h"
#include "tempo/block_name.h"

namespace {

using plugkit::platform::SharedMemory;
using tarnwell::test::BlockName;

TEST(SharedMemorySize, ReaderRefusesARegionSmallerThanItAsksFor) {
  BlockName name("small");
  SharedMemory small;
  ASSERT_TRUE(small.CreateOrOpen(name.c_str(), 16));
  SharedMemory reader;
  EXPECT_FALSE(reader.OpenReadOnly(name.c_str(), 40));
  EXPECT_FALSE(reader.IsOpen());
  EXPECT_TRUE(reader.OpenReadOnly(name.c_str(), 16));
}

TEST(SharedMemorySize, WriterGrowsATooSmallRegion) {
  BlockName name("grow");
  SharedMemory small;
  ASSERT_TRUE(small.CreateOrOpen(name.c_str(), 16));
  SharedMemory writer;
  ASSERT_TRUE(writer.CreateOrOpen(name.c_str(), 40));
  static_cast<unsigned char*>(writer.Data())[39] = 7;  // would fault if the object stayed at 16
  SharedMemory reader;
  ASSERT_TRUE(reader.OpenReadOnly(name.c_str(), 40));
  EXPECT_EQ(static_cast<const unsigned char*>(reader.Data())[39], 7);
}

}  // namespace
