// Replacing a file the user owns without ever leaving it half written.
#pragma once

#include <string>
#include <string_view>

namespace plugkit::platform {

enum class FileAccess {
  Default,    // what the platform gives a new file of the user
  OwnerOnly,  // readable and writable by the owner only (POSIX mode 0600)
};

// Writes the bytes to "<utf8Path>.tmp" in the same folder, flushes it and renames it over
// utf8Path, so that readers see the old content or the new one and never a part. The writer
// owns the temporary file from its open until the rename has published it: a second writer of
// the same path meanwhile is refused (false) and harms neither file, and true means this
// writer's bytes are what the rename put in place. False on any failure; the temporary file is
// then removed and the old file stays as it was. The folder must exist. A path holding a NUL
// byte is refused. Never throws.
bool WriteFileAtomically(const std::string& utf8Path, std::string_view bytes,
                         FileAccess access = FileAccess::Default) noexcept;

// The temporary file name WriteFileAtomically uses beside utf8Path.
std::string AtomicWriteTempPath(const std::string& utf8Path);

// Test seam: the points of a write where a test may step in.
enum class AtomicWriteStep {
  Owned,    // the temporary file is this writer's, not yet emptied
  Flushed,  // the bytes are on disk in the temporary file, not yet renamed
};
// Called at each step of every write of the process; returning false stops that writer on
// the spot, holding nothing and cleaning nothing up, as if its process had been killed there.
// Null (the default) lets every write run through.
using AtomicWriteStepHook = bool (*)(AtomicWriteStep step, void* context);
void SetAtomicWriteStepHookForTesting(AtomicWriteStepHook hook, void* context) noexcept;

namespace internal {
// What the hook says at a step (true when there is none).
bool AtomicWriteMayGoOn(AtomicWriteStep step) noexcept;
}  // namespace internal

}  // namespace plugkit::platform
