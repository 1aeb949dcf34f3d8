#include "platform/atomic_file_write.h"

#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>

namespace plugkit::platform {
namespace {

bool WriteAll(int file, std::string_view bytes) {
  while (!bytes.empty()) {
    const ssize_t written = write(file, bytes.data(), bytes.size());
    if (written < 0 && errno == EINTR) continue;
    if (written <= 0) return false;
    bytes.remove_prefix(static_cast<size_t>(written));
  }
  return true;
}

// Takes the temporary file for this writer: locked, and still the file that bears the
// temporary name. Another writer holds the lock until it has renamed its file away, so a
// file opened just before that rename is the published one and no longer bears the name.
bool Owns(int file, const std::string& temp) {
  struct stat opened {
  }, named{};
  return flock(file, LOCK_EX | LOCK_NB) == 0 && fstat(file, &opened) == 0 && lstat(temp.c_str(), &named) == 0 &&
         opened.st_ino == named.st_ino && opened.st_dev == named.st_dev;
}

// Makes the rename itself durable; a folder that cannot be synced costs only that.
void SyncFolderOf(const std::string& path) {
  const size_t slash = path.rfind('/');
  const std::string folder = slash == std::string::npos ? "." : slash == 0 ? "/" : path.substr(0, slash);
  const int handle = open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
  if (handle < 0) return;
  fsync(handle);
  close(handle);
}

}  // namespace

bool WriteFileAtomically(const std::string& utf8Path, std::string_view bytes, FileAccess access) noexcept {
  try {
    if (utf8Path.empty() || utf8Path.find('\0') != std::string::npos) return false;
    const std::string temp = AtomicWriteTempPath(utf8Path);
    const mode_t mode = access == FileAccess::OwnerOnly ? 0600 : 0644;
    // No O_TRUNC: the file may still be another writer's until Owns says otherwise.
    const int file = open(temp.c_str(), O_WRONLY | O_CREAT | O_CLOEXEC | O_NOFOLLOW, mode);
    if (file < 0) return false;
    if (!Owns(file, temp) || !internal::AtomicWriteMayGoOn(AtomicWriteStep::Owned)) {
      close(file);
      return false;
    }
    // A temporary file left by an earlier writer keeps its mode; the owner-only content must
    // not stay readable by others through it.
    bool ok = ftruncate(file, 0) == 0;
    ok = ok && (access != FileAccess::OwnerOnly || fchmod(file, 0600) == 0);
    ok = ok && WriteAll(file, bytes) && fsync(file) == 0;
    if (ok && !internal::AtomicWriteMayGoOn(AtomicWriteStep::Flushed)) {
      close(file);
      return false;
    }
    // Renamed while still locked, so that no other writer can take the file in between.
    ok = ok && rename(temp.c_str(), utf8Path.c_str()) == 0;
    if (!ok) unlink(temp.c_str());
    // The bytes were synced before the rename; a late close error changes nothing on disk.
    close(file);
    if (ok) SyncFolderOf(utf8Path);
    return ok;
  } catch (...) {
    return false;
  }
}

}  // namespace plugkit::platform
