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
// utf8Path, so that readers see the old content or the new one and never a part. False on
// any failure; the temporary file is then removed and the old file stays as it was. The
// folder must exist. A path holding a NUL byte is refused. Never throws.
bool WriteFileAtomically(const std::string& utf8Path, std::string_view bytes,
                         FileAccess access = FileAccess::Default) noexcept;

// The temporary file name WriteFileAtomically uses beside utf8Path.
std::string AtomicWriteTempPath(const std::string& utf8Path);

}  // namespace plugkit::platform
