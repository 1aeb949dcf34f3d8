// Two writers of one file never mix their bytes: the second is refused while the first
// holds the temporary file.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/file.h>
#include <unistd.h>

#include <fstream>
#include <sstream>
#include <string>

#include "platform/atomic_file_write.h"
#include "tests/platform/scratch_folder.h"

namespace plugkit::platform {
namespace {

std::string Content(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  std::stringstream text;
  text << in.rdbuf();
  return text.str();
}

TEST(AtomicWriteLock, AWriteWhileAnotherHoldsTheTemporaryFileIsRefusedAndHarmsNeither) {
  test::ScratchFolder folder;
  const std::string path = folder.Path("A.json");
  ASSERT_TRUE(WriteFileAtomically(path, "old"));
  const std::string temp = AtomicWriteTempPath(path);
  const int other = open(temp.c_str(), O_WRONLY | O_CREAT, 0644);
  ASSERT_GE(other, 0);
  ASSERT_EQ(flock(other, LOCK_EX), 0);
  ASSERT_EQ(write(other, "half", 4), 4);

  EXPECT_FALSE(WriteFileAtomically(path, "mine"));
  EXPECT_EQ(Content(path), "old");
  EXPECT_EQ(Content(temp), "half") << "the other writer's file is neither cut nor removed";

  close(other);  // the other writer gave up; a later write goes through
  EXPECT_TRUE(WriteFileAtomically(path, "new"));
  EXPECT_EQ(Content(path), "new");
  EXPECT_NE(access(temp.c_str(), F_OK), 0);
}

}  // namespace
}  // namespace plugkit::platform
