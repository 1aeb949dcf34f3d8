// Replacing and reading the user's files: a failed replacement leaves the old content, and
// reads stop at their limit.
#include <gtest/gtest.h>

#include <string>

#include "platform/atomic_file_write.h"
#include "platform/file_access.h"
#include "tests/platform/scratch_folder.h"

namespace plugkit::platform {
namespace {

std::string Content(const std::string& path) {
  std::string text;
  EXPECT_TRUE(ReadFilePrefix(path, 1 << 20, text)) << path;
  return text;
}

TEST(AtomicFileWrite, CreatesAndReplacesWithoutLeavingTheTemporaryFile) {
  test::ScratchFolder folder;
  const std::string path = folder.Path("preset.json");
  ASSERT_TRUE(WriteFileAtomically(path, "first"));
  EXPECT_EQ(Content(path), "first");
  ASSERT_TRUE(WriteFileAtomically(path, std::string("se\0cond", 7)));
  EXPECT_EQ(Content(path), std::string("se\0cond", 7));
  ASSERT_TRUE(WriteFileAtomically(path, ""));
  EXPECT_EQ(Content(path), "");
  EXPECT_FALSE(PathExists(AtomicWriteTempPath(path)));
}

TEST(AtomicFileWrite, AFailedWriteKeepsTheOldContent) {
  test::ScratchFolder folder;
  const std::string path = folder.Path("kept.json");
  ASSERT_TRUE(WriteFileAtomically(path, "old content"));
  // A folder in the temporary file's place makes the write fail before the file is touched.
  ASSERT_TRUE(CreateFolders(AtomicWriteTempPath(path)));
  EXPECT_FALSE(WriteFileAtomically(path, "new content"));
  EXPECT_EQ(Content(path), "old content");
}

TEST(AtomicFileWrite, RefusesPathsItCannotWriteFaithfully) {
  test::ScratchFolder folder;
  const struct {
    const char* what;
    std::string path;
  } cases[] = {
      {"empty path", ""},
      {"missing folder", folder.Path("no such folder/x.json")},
      {"NUL inside the name", folder.Path("x.json") + std::string("\0.txt", 5)},
  };
  for (const auto& c : cases) EXPECT_FALSE(WriteFileAtomically(c.path, "bytes")) << c.what;
  EXPECT_FALSE(PathExists(folder.Path("x.json")));
}

TEST(FileAccess, ReadStopsAtItsLimitAndRefusesWhatIsNoFile) {
  test::ScratchFolder folder;
  const std::string path = folder.Path("big.bin");
  ASSERT_TRUE(WriteFileAtomically(path, std::string(10000, 'x')));
  std::string text = "stale";
  ASSERT_TRUE(ReadFilePrefix(path, 4097, text));
  EXPECT_EQ(text, std::string(4097, 'x'));
  ASSERT_TRUE(ReadFilePrefix(path, 20000, text));
  EXPECT_EQ(text.size(), 10000u);
  for (const std::string& bad : {folder.Path("missing.bin"), folder.Path(), std::string()}) {
    text = "stale";
    EXPECT_FALSE(ReadFilePrefix(bad, 100, text)) << bad;
    EXPECT_TRUE(text.empty());
  }
}

TEST(FileAccess, FoldersAreCreatedWithTheirParentsAndFilesRemoved) {
  test::ScratchFolder folder;
  const std::string deep = folder.Path("a/b/c");
  EXPECT_TRUE(CreateFolders(deep));
  EXPECT_TRUE(CreateFolders(deep));  // already there
  const std::string file = folder.Path("a/b/c/f.txt");
  ASSERT_TRUE(WriteFileAtomically(file, "x"));
  EXPECT_FALSE(CreateFolders(file));  // a file is in the way
  EXPECT_TRUE(RemoveFile(file));
  EXPECT_FALSE(PathExists(file));
  EXPECT_FALSE(RemoveFile(file));
}

}  // namespace
}  // namespace plugkit::platform
