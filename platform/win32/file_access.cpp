#include "platform/file_access.h"

#include <windows.h>

#include <algorithm>

#include "platform/win32/utf16.h"

namespace plugkit::platform {
namespace {

// "" for a path the platform would read differently from the text.
std::wstring WidePath(const std::string& utf8Path) {
  if (utf8Path.empty() || utf8Path.find('\0') != std::string::npos) return {};
  return win32::Utf8ToWide(utf8Path);
}

bool IsFolder(const std::wstring& path) {
  const DWORD attributes = GetFileAttributesW(path.c_str());
  return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY) != 0;
}

}  // namespace

bool ReadFilePrefix(const std::string& utf8Path, std::size_t maxBytes, std::string& out) noexcept {
  out.clear();
  try {
    const std::wstring path = WidePath(utf8Path);
    if (path.empty()) return false;
    HANDLE file = CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                              nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE) return false;
    bool ok = true;
    char chunk[4096];
    while (ok && out.size() < maxBytes) {
      const DWORD want = static_cast<DWORD>(std::min(sizeof chunk, maxBytes - out.size()));
      DWORD got = 0;
      ok = ReadFile(file, chunk, want, &got, nullptr) != 0;
      if (!ok || got == 0) break;
      out.append(chunk, got);
    }
    CloseHandle(file);
    if (!ok) out.clear();
    return ok;
  } catch (...) {
    out.clear();
    return false;
  }
}

bool RemoveFile(const std::string& utf8Path) noexcept {
  try {
    const std::wstring path = WidePath(utf8Path);
    return !path.empty() && DeleteFileW(path.c_str());
  } catch (...) {
    return false;
  }
}

// Each prefix up to a separator is created in turn; those that are a drive, a share or
// already there fail harmlessly.
bool CreateFolders(const std::string& utf8Path) noexcept {
  try {
    const std::wstring path = WidePath(utf8Path);
    if (path.empty()) return false;
    for (size_t end = path.find_first_of(L"\\/", 1); end != std::wstring::npos;
         end = path.find_first_of(L"\\/", end + 1))
      CreateDirectoryW(path.substr(0, end).c_str(), nullptr);
    CreateDirectoryW(path.c_str(), nullptr);
    return IsFolder(path);
  } catch (...) {
    return false;
  }
}

void ClearReadOnly(const std::string& utf8Path) noexcept {
  try {
    const std::wstring path = WidePath(utf8Path);
    if (path.empty()) return;
    const DWORD attributes = GetFileAttributesW(path.c_str());
    if (attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_READONLY) != 0)
      SetFileAttributesW(path.c_str(), attributes & ~static_cast<DWORD>(FILE_ATTRIBUTE_READONLY));
  } catch (...) {
  }
}

bool PathExists(const std::string& utf8Path) noexcept {
  try {
    const std::wstring path = WidePath(utf8Path);
    return !path.empty() && GetFileAttributesW(path.c_str()) != INVALID_FILE_ATTRIBUTES;
  } catch (...) {
    return false;
  }
}

}  // namespace plugkit::platform
