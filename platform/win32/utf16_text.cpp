#include "platform/utf16_text.h"

#include <cstdint>

#include "platform/win32/utf16.h"

namespace plugkit::platform {

static_assert(sizeof(wchar_t) == sizeof(char16_t), "Windows wide characters are UTF-16 units");

std::string Utf16ToUtf8(std::u16string_view text) {
  if (text.size() > static_cast<std::size_t>(INT32_MAX)) return {};
  return win32::WideToUtf8(reinterpret_cast<const wchar_t*>(text.data()), static_cast<int>(text.size()));
}

}  // namespace plugkit::platform
