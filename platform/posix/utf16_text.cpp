#include "platform/utf16_text.h"

namespace plugkit::platform {

std::string Utf16ToUtf8(std::u16string_view text) { return Utf16ToUtf8Portable(text); }

}  // namespace plugkit::platform
