#include "platform/module_path.h"

#include <windows.h>

#include <vector>

#include "platform/win32/utf16.h"

namespace plugkit::platform {
namespace {

// GetModuleFileNameW cuts a long path to the buffer without failing, so a result that
// fills the buffer is taken as cut and asked again with more room.
constexpr DWORD kFirstBufferUnits = 256;
constexpr DWORD kLongestPathUnits = 32768;

}  // namespace

std::string ModuleFilePath(void* moduleHandle) noexcept {
  try {
    std::vector<wchar_t> buffer;
    for (DWORD units = kFirstBufferUnits; units <= kLongestPathUnits; units *= 2) {
      buffer.assign(units, L'\0');
      const DWORD length = GetModuleFileNameW(static_cast<HMODULE>(moduleHandle), buffer.data(), units);
      if (length == 0) return {};
      if (length < units) return win32::WideToUtf8(buffer.data(), static_cast<int>(length));
    }
  } catch (...) {
  }
  return {};
}

}  // namespace plugkit::platform
