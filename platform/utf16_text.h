// UTF-16 to UTF-8 for texts that come from the platform (paths, browser texts).
#pragma once

#include <string>
#include <string_view>

namespace plugkit::platform {

// The platform's own conversion: unpaired surrogates become U+FFFD. May throw
// std::bad_alloc.
std::string Utf16ToUtf8(std::u16string_view text);

// The same conversion written out by hand: the stand-in's, and the reference the Windows
// conversion is checked against.
std::string Utf16ToUtf8Portable(std::u16string_view text);

}  // namespace plugkit::platform
