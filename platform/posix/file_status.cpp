#include "platform/file_status.h"

#include <dirent.h>
#include <sys/stat.h>

#include <cerrno>
#include <cstdlib>
#include <cstring>

namespace plugkit::platform {
namespace {

int64_t MillisecondsOf(const timespec& time) {
  // Integer division truncates toward zero, also before 1970.
  return static_cast<int64_t>(time.tv_sec) * 1000 + time.tv_nsec / 1000000;
}

}  // namespace

FileStatus StatusOf(const std::string& path) noexcept {
  FileStatus status;
  struct stat info {};
  if (path.empty() || stat(path.c_str(), &info) != 0) {
    status.kind = errno == ENOENT || errno == ENOTDIR || path.empty() ? FileKind::Missing : FileKind::Unreadable;
    return status;
  }
  status.kind = S_ISREG(info.st_mode) ? FileKind::File : S_ISDIR(info.st_mode) ? FileKind::Folder : FileKind::Other;
  status.size = static_cast<uint64_t>(info.st_size);
  status.hasWriteTime = true;
  status.lastWriteMs = MillisecondsOf(info.st_mtim);
  return status;
}

std::string CanonicalPath(const std::string& path) noexcept {
  if (path.empty()) return {};
  char* resolved = realpath(path.c_str(), nullptr);
  if (resolved == nullptr) return {};
  std::string result;
  try {
    result = resolved;
  } catch (...) {
  }
  std::free(resolved);
  return result;
}

bool ListFolder(const std::string& path, std::vector<FolderEntry>& out) noexcept {
  out.clear();
  if (path.empty()) return false;
  DIR* folder = opendir(path.c_str());
  if (folder == nullptr) return false;
  bool ok = true;
  try {
    for (;;) {
      errno = 0;
      const dirent* entry = readdir(folder);
      if (entry == nullptr) {
        ok = errno == 0;
        break;
      }
      if (std::strcmp(entry->d_name, ".") == 0 || std::strcmp(entry->d_name, "..") == 0) continue;
      FolderEntry item;
      item.name = entry->d_name;
      struct stat info {};
      if (lstat((path + "/" + item.name).c_str(), &info) == 0) {
        item.isLink = S_ISLNK(info.st_mode);
        item.isFolder = S_ISDIR(info.st_mode);
      }
      out.push_back(std::move(item));
    }
  } catch (...) {
    ok = false;
  }
  closedir(folder);
  return ok;
}

std::string FileNameKey(std::string_view name) { return std::string(name); }

}  // namespace plugkit::platform
