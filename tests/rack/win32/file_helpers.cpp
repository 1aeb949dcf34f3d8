#include <windows.h>

#include "preset_fixture.h"

namespace test {

bool SetLastWriteTimeMs(const std::string& utf8Path, int64_t ms) {
  const std::wstring path = PathOf(utf8Path).wstring();
  HANDLE file = CreateFileW(path.c_str(), FILE_WRITE_ATTRIBUTES, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                            OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
  if (file == INVALID_HANDLE_VALUE) return false;
  const auto ticks = static_cast<uint64_t>(ms * 10000 + 116444736000000000LL);
  FILETIME time{static_cast<DWORD>(ticks & 0xFFFFFFFFu), static_cast<DWORD>(ticks >> 32)};
  const BOOL ok = SetFileTime(file, nullptr, nullptr, &time);
  CloseHandle(file);
  return ok != 0;
}

bool MakeLink(const std::string& utf8Target, const std::string& utf8Link, bool folder) {
  const std::wstring target = PathOf(utf8Target).wstring();
  const std::wstring link = PathOf(utf8Link).wstring();
  // 0x2: allowed without elevation where developer mode is on.
  const DWORD flags = (folder ? SYMBOLIC_LINK_FLAG_DIRECTORY : 0) | 0x2;
  return CreateSymbolicLinkW(link.c_str(), target.c_str(), flags) != 0;
}

}  // namespace test
