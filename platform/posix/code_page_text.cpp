#include "platform/code_page_text.h"

#include "platform/utf16_text.h"

namespace plugkit::platform {

std::string NarrowToCodePage(std::u16string_view text) { return Utf16ToUtf8Portable(text); }

}  // namespace plugkit::platform
