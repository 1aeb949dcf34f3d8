#include "platform/win32/utf16.h"

#include <windows.h>

namespace plugkit::platform::win32 {

std::wstring Utf8ToWide(const std::string& text) {
  if (text.empty()) return {};
  int n = MultiByteToWideChar(CP_UTF8, 0, text.data(), static_cast<int>(text.size()), nullptr, 0);
  if (n <= 0) return {};
  std::wstring wide(static_cast<size_t>(n), L'\0');
  MultiByteToWideChar(CP_UTF8, 0, text.data(), static_cast<int>(text.size()), wide.data(), n);
  return wide;
}

std::string WideToUtf8(const wchar_t* text, int length) {
  if (text == nullptr || length == 0) return {};
  int n = WideCharToMultiByte(CP_UTF8, 0, text, length, nullptr, 0, nullptr, nullptr);
  if (n <= 0) return {};
  std::string narrow(static_cast<size_t>(n), '\0');
  WideCharToMultiByte(CP_UTF8, 0, text, length, narrow.data(), n, nullptr, nullptr);
  if (length < 0 && !narrow.empty() && narrow.back() == '\0') narrow.pop_back();
  return narrow;
}

}  // namespace plugkit::platform::win32
