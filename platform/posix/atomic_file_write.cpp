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

}  // namespace

bool WriteFileAtomically(const std::string& utf8Path, std::string_view bytes, FileAccess access) noexcept {
  try {
    if (utf8Path.empty() || utf8Path.find('\0') != std::string::npos) return false;
    const std::string temp = AtomicWriteTempPath(utf8Path);
    const mode_t mode = access == FileAccess::OwnerOnly ? 0600 : 0644;
    const int file = open(temp.c_str(), O_WRONLY | O_CREAT | O_CLOEXEC | O_NOFOLLOW, mode);
    if (file < 0) return false;
    // Another writer of the same file (a second instance saving the same preset) holds the
    // temporary file locked until it has renamed it: this write is refused, as the system's
    // exclusive open refuses it on Windows, and leaves that writer's file alone. A file this
    // one opened but another renamed away before the lock no longer bears the temporary name.
    struct stat opened {}, named {};
    if (flock(file, LOCK_EX | LOCK_NB) != 0 || fstat(file, &opened) != 0 || lstat(temp.c_str(), &named) != 0 ||
        opened.st_ino != named.st_ino || opened.st_dev != named.st_dev) {
      close(file);
      return false;
    }
    // A temporary file left by an earlier writer keeps its mode; the owner-only content must
    // not stay readable by others through it.
    bool ok = ftruncate(file, 0) == 0;
    ok = ok && (access != FileAccess::OwnerOnly || fchmod(file, 0600) == 0);
    ok = ok && WriteAll(file, bytes) && fsync(file) == 0;
    ok = close(file) == 0 && ok;
    ok = ok && rename(temp.c_str(), utf8Path.c_str()) == 0;
    if (!ok) unlink(temp.c_str());
    return ok;
  } catch (...) {
    return false;
  }
}

}  // namespace plugkit::platform
