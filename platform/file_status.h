// What the file system says about the user's files and folders (presets), on UTF-8 paths:
// their status, their resolved form, a folder's entries and how names compare. Wide paths on
// Windows, the bytes as they are elsewhere. Nothing here throws; a path that is not valid
// UTF-8 names nothing. Reading, writing and removing files: file_access.h and
// atomic_file_write.h.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace plugkit::platform {

enum class FileKind {
  Missing,  // nothing there
  File,     // a regular file
  Folder,
  Other,       // a device, pipe or socket
  Unreadable,  // something may be there, but its status cannot be read
};

struct FileStatus {
  FileKind kind = FileKind::Missing;
  uint64_t size = 0;
  bool hasWriteTime = false;
  // Milliseconds since 1970-01-01 00:00 UTC, truncated toward zero.
  int64_t lastWriteMs = 0;
};

// The status of what the path names, following links.
FileStatus StatusOf(const std::string& path) noexcept;

// The path with links and dot elements resolved, in the platform's own form; "" when what it
// names does not exist or cannot be resolved.
std::string CanonicalPath(const std::string& path) noexcept;

struct FolderEntry {
  std::string name;
  bool isFolder = false;  // a folder itself, not a link to one
  bool isLink = false;    // a symbolic link or junction, whatever it points at
};

// The entries of a folder in the order the system lists them, without "." and "..".
// False when the folder cannot be read.
bool ListFolder(const std::string& path, std::vector<FolderEntry>& out) noexcept;

// The form under which the file system tells one name from another: on Windows, trailing
// dots and spaces dropped and ASCII letters folded; elsewhere the name itself. Two names
// with the same key name the same file.
std::string FileNameKey(std::string_view name);

}  // namespace plugkit::platform
