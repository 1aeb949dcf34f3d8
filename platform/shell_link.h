// Handing a web link to the user's default browser.
#pragma once

#include <cstdint>

namespace plugkit::platform {

// Whether the machine reports a network connection.
bool IsInternetConnected() noexcept;

// Opens uri (UTF-16, NUL-terminated) with the shell's "open" verb, showing the result
// normally, owned by parentWindow. Values above 32 mean success (the shell's convention).
intptr_t OpenInShell(void* parentWindow, const char16_t* uri) noexcept;

}  // namespace plugkit::platform
