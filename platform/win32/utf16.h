// UTF-8 <-> UTF-16 for the Win32 wide-character calls.
#pragma once

#include <string>

namespace plugkit::platform::win32 {

std::wstring Utf8ToWide(const std::string& text);
std::string WideToUtf8(const wchar_t* text, int length = -1);

}  // namespace plugkit::platform::win32
