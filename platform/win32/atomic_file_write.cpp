#include "platform/atomic_file_write.h"

#include <windows.h>

#include "platform/win32/utf16.h"

namespace plugkit::platform {
namespace {

// Marks the file for deletion when its last handle closes.
void DeleteOnClose(HANDLE file) {
  FILE_DISPOSITION_INFO disposition{};
  disposition.DeleteFile = TRUE;
  SetFileInformationByHandle(file, FileDispositionInfo, &disposition, sizeof disposition);
}

}  // namespace

// The per-user folders the callers write into already keep other users out, so both
// accesses give the folder's inherited permissions.
bool WriteFileAtomically(const std::string& utf8Path, std::string_view bytes, FileAccess) noexcept {
  try {
    if (utf8Path.empty() || utf8Path.find('\0') != std::string::npos || bytes.size() > MAXDWORD) return false;
    const std::wstring target = win32::Utf8ToWide(utf8Path);
    const std::wstring temp = win32::Utf8ToWide(AtomicWriteTempPath(utf8Path));
    if (target.empty() || temp.empty()) return false;
    // Not shared for writing, so that this handle keeps every other writer out of the temporary
    // file until it is published; shared for the rename below, and for readers of the published
    // file while the handle is still open.
    HANDLE file = CreateFileW(temp.c_str(), GENERIC_WRITE | DELETE, FILE_SHARE_READ | FILE_SHARE_DELETE, nullptr,
                              CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE) return false;
    if (!internal::AtomicWriteMayGoOn(AtomicWriteStep::Owned)) {
      CloseHandle(file);
      return false;
    }
    DWORD written = 0;
    bool ok = WriteFile(file, bytes.data(), static_cast<DWORD>(bytes.size()), &written, nullptr) &&
              written == bytes.size() && FlushFileBuffers(file);
    if (ok && !internal::AtomicWriteMayGoOn(AtomicWriteStep::Flushed)) {
      CloseHandle(file);
      return false;
    }
    ok = ok && MoveFileExW(temp.c_str(), target.c_str(), MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH);
    if (!ok) DeleteOnClose(file);
    CloseHandle(file);
    return ok;
  } catch (...) {
    return false;
  }
}

}  // namespace plugkit::platform
