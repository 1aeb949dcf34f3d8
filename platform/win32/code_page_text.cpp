#include "platform/code_page_text.h"

#include <windows.h>

#include <climits>

namespace plugkit::platform {

std::string NarrowToCodePage(std::u16string_view text) {
  if (text.empty() || text.size() > static_cast<std::size_t>(INT_MAX)) return {};
  const auto* wide = reinterpret_cast<const wchar_t*>(text.data());
  const int length = static_cast<int>(text.size());
  const int bytes = WideCharToMultiByte(CP_ACP, 0, wide, length, nullptr, 0, nullptr, nullptr);
  if (bytes <= 0) return {};
  std::string out(static_cast<std::size_t>(bytes), '\0');
  WideCharToMultiByte(CP_ACP, 0, wide, length, out.data(), bytes, nullptr, nullptr);
  return out;
}

}  // namespace plugkit::platform
