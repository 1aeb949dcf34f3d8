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

}  // namespace test
