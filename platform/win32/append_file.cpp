#include "platform/append_file.h"

#include <windows.h>

#include "platform/win32/utf16.h"

namespace plugkit::platform {

bool AppendToFile(const std::string& utf8Path, std::string_view bytes) noexcept {
  try {
    const std::wstring path = win32::Utf8ToWide(utf8Path);
    if (path.empty() || bytes.size() > MAXDWORD) return false;
    HANDLE file = CreateFileW(path.c_str(), FILE_APPEND_DATA, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                              nullptr, OPEN_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE) return false;
    DWORD written = 0;
    const BOOL ok = WriteFile(file, bytes.data(), static_cast<DWORD>(bytes.size()), &written, nullptr);
    CloseHandle(file);
    return ok && written == bytes.size();
  } catch (...) {
    return false;
  }
}

}  // namespace plugkit::platform
