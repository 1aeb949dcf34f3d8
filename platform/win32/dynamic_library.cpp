#include "platform/dynamic_library.h"

#include <windows.h>

#include "platform/win32/utf16.h"

namespace plugkit::platform {

DynamicLibrary::~DynamicLibrary() { Close(); }

bool DynamicLibrary::Open(const std::string& utf8Path, std::string* error) {
  Close();
  std::wstring path = win32::Utf8ToWide(utf8Path);
  for (auto& c : path)
    if (c == L'/') c = L'\\';
  handle_ = LoadLibraryW(path.c_str());
  if (handle_ == nullptr && error != nullptr)
    *error = "LoadLibraryW failed with error " + std::to_string(GetLastError());
  return handle_ != nullptr;
}

void* DynamicLibrary::Symbol(const char* name) const {
  if (handle_ == nullptr) return nullptr;
  return reinterpret_cast<void*>(GetProcAddress(static_cast<HMODULE>(handle_), name));
}

void DynamicLibrary::Close() {
  if (handle_ != nullptr) FreeLibrary(static_cast<HMODULE>(handle_));
  handle_ = nullptr;
}

}  // namespace plugkit::platform
