#include "platform/atomic_file_write.h"

#include <windows.h>

#include "platform/win32/utf16.h"

namespace plugkit::platform {

// The per-user folders the callers write into already keep other users out, so both
// accesses give the folder's inherited permissions.
bool WriteFileAtomically(const std::string& utf8Path, std::string_view bytes, FileAccess) noexcept {
  try {
    if (utf8Path.empty() || utf8Path.find('\0') != std::string::npos || bytes.size() > MAXDWORD) return false;
    const std::wstring target = win32::Utf8ToWide(utf8Path);
    const std::wstring temp = win32::Utf8ToWide(AtomicWriteTempPath(utf8Path));
    if (target.empty() || temp.empty()) return false;
    HANDLE file = CreateFileW(temp.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE) return false;
    DWORD written = 0;
    bool ok = WriteFile(file, bytes.data(), static_cast<DWORD>(bytes.size()), &written, nullptr) &&
              written == bytes.size() && FlushFileBuffers(file);
    ok = CloseHandle(file) && ok;
    ok = ok && MoveFileExW(temp.c_str(), target.c_str(), MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH);
    if (!ok) DeleteFileW(temp.c_str());
    return ok;
  } catch (...) {
    return false;
  }
}

}  // namespace plugkit::platform
