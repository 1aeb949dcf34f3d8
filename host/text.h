// Text conversions for what a module reports.
#pragma once

#include <string>

#include "pluginterfaces/base/ftypes.h"

namespace tarnwell::host {

// UTF-16 (as VST 3 String128 and class information carry it) to UTF-8.
std::string Utf16ToUtf8(const Steinberg::char16* text, size_t maxLength = 0xFFFFFFFF);
std::u16string Utf8ToUtf16(const std::string& text);

// A 16-byte class ID as 32 upper-case hex digits, in byte order.
std::string HexId(const char* tuid);

}  // namespace tarnwell::host
