// Two writers of one file, interleaved at the steps where a slow or killed writer can be
// caught: whoever is told true has its bytes in the file, and nobody publishes a part.
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

// Runs a second writer at one step of the first; the second is stopped (as if killed) at
// the step named for it, should it get that far.
struct SecondWriter {
  std::string path;
  AtomicWriteStep interruptFirstAt;
  AtomicWriteStep killAt;
  bool inSecond = false;
  bool ran = false;
  bool answer = false;

  static bool Hook(AtomicWriteStep step, void* context) {
    auto* self = static_cast<SecondWriter*>(context);
    if (self->inSecond) return step != self->killAt;
    if (step == self->interruptFirstAt && !self->ran) {
      self->ran = self->inSecond = true;
      self->answer = WriteFileAtomically(self->path, "");
      self->inSecond = false;
    }
    return true;
  }
};

class HookScope {
 public:
  explicit HookScope(SecondWriter& second) { SetAtomicWriteStepHookForTesting(&SecondWriter::Hook, &second); }
  ~HookScope() { SetAtomicWriteStepHookForTesting(nullptr, nullptr); }
};

TEST(AtomicWriteRace, AWriterThatIsToldTrueHasItsBytesInTheFileWhateverASecondWriterDoes) {
  // The second writer empties the temporary file and dies there, or finishes: either way it
  // must not get at the first writer's file before that is published.
  const struct {
    AtomicWriteStep interruptFirstAt;
    AtomicWriteStep killSecondAt;
  } cases[] = {
      {AtomicWriteStep::Owned, AtomicWriteStep::Flushed},
      {AtomicWriteStep::Flushed, AtomicWriteStep::Flushed},
      {AtomicWriteStep::Flushed, AtomicWriteStep::Owned},
  };
  for (const auto& c : cases) {
    test::ScratchFolder folder;
    const std::string path = folder.Path("Keep.json");
    ASSERT_TRUE(WriteFileAtomically(path, "old"));
    SecondWriter second{path, c.interruptFirstAt, c.killSecondAt};
    bool first = false;
    {
      HookScope scope(second);
      first = WriteFileAtomically(path, "first writer's preset");
    }
    ASSERT_TRUE(second.ran);
    EXPECT_FALSE(second.answer) << "the second writer is refused while the first owns the file";
    EXPECT_TRUE(first);
    EXPECT_EQ(Content(path), "first writer's preset");
    EXPECT_FALSE(PathExists(AtomicWriteTempPath(path)));
  }
}

TEST(AtomicWriteRace, AWriterKilledBeforeItsRenameLeavesTheOldFileAndTheNextWriterGoesThrough) {
  test::ScratchFolder folder;
  const std::string path = folder.Path("Keep.json");
  ASSERT_TRUE(WriteFileAtomically(path, "old"));
  SetAtomicWriteStepHookForTesting([](AtomicWriteStep step, void*) { return step != AtomicWriteStep::Flushed; },
                                   nullptr);
  EXPECT_FALSE(WriteFileAtomically(path, "never published"));
  SetAtomicWriteStepHookForTesting(nullptr, nullptr);
  EXPECT_EQ(Content(path), "old");
  EXPECT_TRUE(PathExists(AtomicWriteTempPath(path))) << "a killed writer cleans nothing up";

  EXPECT_TRUE(WriteFileAtomically(path, "new"));
  EXPECT_EQ(Content(path), "new");
  EXPECT_FALSE(PathExists(AtomicWriteTempPath(path)));
}

}  // namespace
}  // namespace plugkit::platform
