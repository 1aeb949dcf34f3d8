#include "platform/file_status.h"

#include <windows.h>

#include <climits>

#include "platform/win32/utf16.h"

namespace plugkit::platform {
namespace {

// Seconds between 1601-01-01 and 1970-01-01, in 100-nanosecond units.
constexpr int64_t kUnixEpochAsFileTime = 116444736000000000LL;
constexpr DWORD kShareAll = FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE;

// Strict: a path that is not valid UTF-8 gives "", which names nothing.
std::wstring WidePath(const std::string& path) {
  if (path.empty() || path.size() > static_cast<size_t>(INT_MAX)) return {};
  const int length = static_cast<int>(path.size());
  const int units = MultiByteToWideChar(CP_UTF8, MB_ERR_INVALID_CHARS, path.data(), length, nullptr, 0);
  if (units <= 0) return {};
  std::wstring wide(static_cast<size_t>(units), L'\0');
  MultiByteToWideChar(CP_UTF8, MB_ERR_INVALID_CHARS, path.data(), length, wide.data(), units);
  if (wide.find(L'\0') != std::wstring::npos) return {};
  return wide;
}

bool IsMissingError(DWORD error) {
  return error == ERROR_FILE_NOT_FOUND || error == ERROR_PATH_NOT_FOUND || error == ERROR_INVALID_NAME ||
         error == ERROR_BAD_NETPATH || error == ERROR_INVALID_DRIVE || error == ERROR_DIRECTORY;
}

class Handle {
 public:
  explicit Handle(HANDLE handle) : handle_(handle) {}
  ~Handle() {
    if (IsOpen()) CloseHandle(handle_);
  }
  Handle(const Handle&) = delete;
  Handle& operator=(const Handle&) = delete;
  bool IsOpen() const { return handle_ != INVALID_HANDLE_VALUE && handle_ != nullptr; }
  HANDLE Get() const { return handle_; }

 private:
  HANDLE handle_;
};

// Opens for attribute queries only; folders need backup semantics. Follows links.
HANDLE OpenForQuery(const std::wstring& path) {
  return CreateFileW(path.c_str(), FILE_READ_ATTRIBUTES, kShareAll, nullptr, OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS,
                     nullptr);
}

}  // namespace

FileStatus StatusOf(const std::string& path) noexcept {
  FileStatus status;
  try {
    const std::wstring wide = WidePath(path);
    if (wide.empty()) return status;
    Handle file(OpenForQuery(wide));
    if (!file.IsOpen()) {
      status.kind = IsMissingError(GetLastError()) ? FileKind::Missing : FileKind::Unreadable;
      return status;
    }
    BY_HANDLE_FILE_INFORMATION info{};
    if (!GetFileInformationByHandle(file.Get(), &info)) {
      // Devices and pipes open but have no file information.
      status.kind = GetFileType(file.Get()) == FILE_TYPE_DISK ? FileKind::Unreadable : FileKind::Other;
      return status;
    }
    status.kind = (info.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) != 0 ? FileKind::Folder : FileKind::File;
    status.size = (static_cast<uint64_t>(info.nFileSizeHigh) << 32) | info.nFileSizeLow;
    const int64_t time = static_cast<int64_t>((static_cast<uint64_t>(info.ftLastWriteTime.dwHighDateTime) << 32) |
                                              info.ftLastWriteTime.dwLowDateTime);
    status.hasWriteTime = true;
    status.lastWriteMs = (time - kUnixEpochAsFileTime) / 10000;
  } catch (...) {
    status.kind = FileKind::Unreadable;
  }
  return status;
}

std::string CanonicalPath(const std::string& path) noexcept {
  try {
    const std::wstring wide = WidePath(path);
    if (wide.empty()) return {};
    Handle file(OpenForQuery(wide));
    if (!file.IsOpen()) return {};
    std::wstring resolved(MAX_PATH, L'\0');
    for (int attempt = 0; attempt < 2; ++attempt) {
      const DWORD units = GetFinalPathNameByHandleW(file.Get(), resolved.data(), static_cast<DWORD>(resolved.size()),
                                                    FILE_NAME_NORMALIZED | VOLUME_NAME_DOS);
      if (units == 0) return {};
      if (units < resolved.size()) {
        resolved.resize(units);
        break;
      }
      resolved.assign(units + 1, L'\0');
      if (attempt == 1) return {};
    }
    // The call answers in the \\?\ form; the rest of the system speaks plain paths.
    if (resolved.rfind(L"\\\\?\\UNC\\", 0) == 0)
      resolved = L"\\\\" + resolved.substr(8);
    else if (resolved.rfind(L"\\\\?\\", 0) == 0)
      resolved = resolved.substr(4);
    return win32::WideToUtf8(resolved.c_str(), static_cast<int>(resolved.size()));
  } catch (...) {
    return {};
  }
}

bool ListFolder(const std::string& path, std::vector<FolderEntry>& out) noexcept {
  out.clear();
  try {
    const std::wstring wide = WidePath(path);
    if (wide.empty()) return false;
    WIN32_FIND_DATAW found{};
    HANDLE search =
        FindFirstFileExW((wide + L"\\*").c_str(), FindExInfoBasic, &found, FindExSearchNameMatch, nullptr, 0);
    if (search == INVALID_HANDLE_VALUE) return false;
    bool ok = true;
    do {
      const std::wstring name = found.cFileName;
      if (name == L"." || name == L"..") continue;
      FolderEntry entry;
      entry.name = win32::WideToUtf8(name.c_str(), static_cast<int>(name.size()));
      entry.isLink = (found.dwFileAttributes & FILE_ATTRIBUTE_REPARSE_POINT) != 0;
      entry.isFolder = !entry.isLink && (found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) != 0;
      out.push_back(std::move(entry));
    } while (FindNextFileW(search, &found));
    if (GetLastError() != ERROR_NO_MORE_FILES) ok = false;
    FindClose(search);
    return ok;
  } catch (...) {
    out.clear();
    return false;
  }
}

std::string FileNameKey(std::string_view name) {
  // Win32 drops trailing dots and spaces from every element and compares names without case.
  size_t end = name.size();
  while (end > 0 && (name[end - 1] == '.' || name[end - 1] == ' ')) --end;
  std::string key(name.substr(0, end));
  for (char& c : key)
    if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
  return key;
}

}  // namespace plugkit::platform
