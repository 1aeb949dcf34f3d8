// Narrowing UTF-16 into the 8-bit text the platform's "ANSI" calls use: the system code
// page on Windows, UTF-8 elsewhere. Both agree on ASCII.
#pragma once

#include <string>
#include <string_view>

namespace plugkit::platform {

// Characters the code page lacks become the platform's default character. May throw
// std::bad_alloc.
std::string NarrowToCodePage(std::u16string_view text);

}  // namespace plugkit::platform
