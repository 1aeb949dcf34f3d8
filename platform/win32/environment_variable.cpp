#include "platform/environment_variable.h"

#include <windows.h>

namespace plugkit::platform {
namespace {
// Longer names and values than these are not ours to read.
constexpr int kNameCapacity = 128;
constexpr DWORD kValueCapacity = 512;
}  // namespace

bool ReadEnvironmentVariable(const char* name, char* buffer, std::size_t capacity) {
  wchar_t wideName[kNameCapacity];
  if (MultiByteToWideChar(CP_UTF8, 0, name, -1, wideName, kNameCapacity) == 0) return false;
  wchar_t wideValue[kValueCapacity];
  SetLastError(ERROR_SUCCESS);
  const DWORD length = GetEnvironmentVariableW(wideName, wideValue, kValueCapacity);
  if (length == 0 && GetLastError() == ERROR_ENVVAR_NOT_FOUND) return false;
  if (capacity == 0) return true;
  buffer[0] = '\0';
  if (length >= kValueCapacity) return true;
  wideValue[length] = L'\0';
  const int written =
      WideCharToMultiByte(CP_UTF8, 0, wideValue, -1, buffer, static_cast<int>(capacity), nullptr, nullptr);
  if (written == 0) buffer[0] = '\0';
  return true;
}

}  // namespace plugkit::platform
