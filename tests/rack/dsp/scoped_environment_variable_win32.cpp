#include <windows.h>

#include <vector>

#include "scoped_environment_variable.h"

namespace {

std::wstring Wide(const std::string& text) {
  const int length = MultiByteToWideChar(CP_UTF8, 0, text.c_str(), -1, nullptr, 0);
  std::wstring wide(static_cast<std::size_t>(length), L'\0');
  MultiByteToWideChar(CP_UTF8, 0, text.c_str(), -1, wide.data(), length);
  wide.resize(static_cast<std::size_t>(length > 0 ? length - 1 : 0));
  return wide;
}

}  // namespace

void WriteEnvironmentVariable(const std::string& name, const std::optional<std::string>& value) {
  SetEnvironmentVariableW(Wide(name).c_str(), value ? Wide(*value).c_str() : nullptr);
}

std::optional<std::string> ReadEnvironmentVariableForTest(const std::string& name) {
  const std::wstring wideName = Wide(name);
  const DWORD needed = GetEnvironmentVariableW(wideName.c_str(), nullptr, 0);
  if (needed == 0) {
    return std::nullopt;
  }
  std::vector<wchar_t> value(needed);
  GetEnvironmentVariableW(wideName.c_str(), value.data(), needed);
  const int length = WideCharToMultiByte(CP_UTF8, 0, value.data(), -1, nullptr, 0, nullptr, nullptr);
  std::string text(static_cast<std::size_t>(length), '\0');
  WideCharToMultiByte(CP_UTF8, 0, value.data(), -1, text.data(), length, nullptr, nullptr);
  text.resize(static_cast<std::size_t>(length > 0 ? length - 1 : 0));
  return text;
}
