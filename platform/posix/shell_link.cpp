#include "platform/shell_link.h"

namespace plugkit::platform {

// No shell is asked here: a link the page opens stays with the browser's own handling.
bool IsInternetConnected() noexcept { return false; }

intptr_t OpenInShell(void*, const char16_t*) noexcept { return 0; }

}  // namespace plugkit::platform
