// The stand-in keeps secrets readable by their owner only.
#include <gtest/gtest.h>
#include <sys/stat.h>

#include <string>

#include "platform/atomic_file_write.h"
#include "platform/credential_store.h"
#include "tests/platform/scratch_folder.h"
#include "tests/platform/user_folder_redirect.h"

namespace plugkit::platform {
namespace {

mode_t ModeOf(const std::string& path) {
  struct stat status {};
  EXPECT_EQ(stat(path.c_str(), &status), 0) << path;
  return status.st_mode & 0777;
}

TEST(OwnerOnlyFiles, CredentialFilesAndTheirFolderAreTheOwnersOnly) {
  test::ScratchFolder folder;
  test::UserFolderRedirect redirect(folder.Path());
  ASSERT_TRUE(MakeUserCredentialStore()->Write("Tarnwell/PluginSession", "tarnwell", "secret-secret-secret"));
  const std::string credentials = folder.Path("Tarnwell/credentials");
  EXPECT_EQ(ModeOf(credentials), 0700u);
  // The file is named by the target's hex, so a "/" in the target never makes a folder.
  EXPECT_EQ(ModeOf(credentials + "/" + "5461726e77656c6c2f506c7567696e53657373696f6e"), 0600u);
}

TEST(OwnerOnlyFiles, AnOldWorldReadableFileBecomesOwnerOnlyWhenReplaced) {
  test::ScratchFolder folder;
  const std::string path = folder.Path("session.json");
  ASSERT_TRUE(WriteFileAtomically(path, "{}"));
  chmod(path.c_str(), 0644);
  ASSERT_TRUE(WriteFileAtomically(AtomicWriteTempPath(path), "left over"));
  chmod(AtomicWriteTempPath(path).c_str(), 0644);
  ASSERT_TRUE(WriteFileAtomically(path, "{\"token\":\"x\"}", FileAccess::OwnerOnly));
  EXPECT_EQ(ModeOf(path), 0600u);
}

}  // namespace
}  // namespace plugkit::platform
