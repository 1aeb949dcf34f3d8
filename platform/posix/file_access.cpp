#include "platform/file_access.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>

namespace plugkit::platform {
namespace {

bool Usable(const std::string& path) { return !path.empty() && path.find('\0') == std::string::npos; }

bool IsFolder(const std::string& path) {
  struct stat status {};
  return stat(path.c_str(), &status) == 0 && S_ISDIR(status.st_mode);
}

}  // namespace

bool ReadFilePrefix(const std::string& utf8Path, std::size_t maxBytes, std::string& out) noexcept {
  out.clear();
  if (!Usable(utf8Path)) return false;
  const int file = open(utf8Path.c_str(), O_RDONLY | O_CLOEXEC);
  if (file < 0) return false;
  bool ok = true;
  try {
    struct stat status {};
    if (fstat(file, &status) != 0 || S_ISDIR(status.st_mode)) {
      ok = false;
    } else {
      char chunk[4096];
      while (out.size() < maxBytes) {
        const size_t want = std::min(sizeof chunk, maxBytes - out.size());
        const ssize_t got = read(file, chunk, want);
        if (got < 0 && errno == EINTR) continue;
        if (got < 0) ok = false;
        if (got <= 0) break;
        out.append(chunk, static_cast<size_t>(got));
      }
    }
  } catch (...) {
    ok = false;
  }
  close(file);
  if (!ok) out.clear();
  return ok;
}

bool RemoveFile(const std::string& utf8Path) noexcept { return Usable(utf8Path) && unlink(utf8Path.c_str()) == 0; }

bool CreateFolders(const std::string& utf8Path) noexcept {
  try {
    if (!Usable(utf8Path)) return false;
    for (size_t end = utf8Path.find('/', 1); end != std::string::npos; end = utf8Path.find('/', end + 1))
      mkdir(utf8Path.substr(0, end).c_str(), 0755);
    mkdir(utf8Path.c_str(), 0755);
    return IsFolder(utf8Path);
  } catch (...) {
    return false;
  }
}

void ClearReadOnly(const std::string& utf8Path) noexcept {
  struct stat status {};
  if (!Usable(utf8Path) || stat(utf8Path.c_str(), &status) != 0) return;
  if ((status.st_mode & S_IWUSR) == 0) chmod(utf8Path.c_str(), (status.st_mode & 07777) | S_IWUSR);
}

bool PathExists(const std::string& utf8Path) noexcept {
  struct stat status {};
  return Usable(utf8Path) && stat(utf8Path.c_str(), &status) == 0;
}

}  // namespace plugkit::platform
