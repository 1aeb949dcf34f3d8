#include "platform/shared_memory.h"

#include <windows.h>

namespace plugkit::platform {

// Page-file-backed mappings in the logon session's own namespace (no Global\ prefix). An
// existing mapping is opened as it is; one smaller than size fails in MapViewOfFile.
bool SharedMemory::Open(const char* name, std::size_t size, bool writable) noexcept {
  Close();
  if (size == 0 || !IsUsableSharedMemoryName(name)) return false;
  HANDLE mapping =
      writable ? CreateFileMappingA(INVALID_HANDLE_VALUE, nullptr, PAGE_READWRITE, 0, static_cast<DWORD>(size), name)
               : OpenFileMappingA(FILE_MAP_READ, FALSE, name);
  if (mapping == nullptr) return false;
  void* view = MapViewOfFile(mapping, writable ? FILE_MAP_ALL_ACCESS : FILE_MAP_READ, 0, 0, size);
  if (view == nullptr) {
    CloseHandle(mapping);
    return false;
  }
  view_ = view;
  handle_ = mapping;
  size_ = size;
  return true;
}

void SharedMemory::Close() noexcept {
  if (view_ != nullptr) {
    UnmapViewOfFile(view_);
    if (handle_ != nullptr) CloseHandle(handle_);
  }
  view_ = nullptr;
  handle_ = nullptr;
  size_ = 0;
}

void RemoveSharedMemoryName(const char*) noexcept {}

}  // namespace plugkit::platform
