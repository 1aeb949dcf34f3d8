// Texts between the framework's 8-bit strings and the UTF-16 strings of VST 3. The
// framework's own texts (names, units, values) are ASCII, so they widen byte by byte.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

#include "pluginterfaces/base/ftypes.h"

namespace plugkit {

// Copies text into a field of capacity units, each byte taken as an unsigned code unit, at
// most capacity - 1 of them, and zero-fills the rest. Null copies "".
void WidenBytes(Steinberg::char16* field, int32_t capacity, const char* text) noexcept;

template <int32_t N>
void WidenBytes(Steinberg::char16 (&field)[N], const char* text) noexcept {
  WidenBytes(field, N, text);
}

// Keeps the low byte of each unit of text (at most capacity units, up to its terminator)
// in out, at most outCapacity - 1 bytes, NUL-terminated.
void NarrowLowBytes(const Steinberg::char16* text, int32_t capacity, char* out, int32_t outCapacity) noexcept;

// The length of a UTF-16 text up to its terminator, at most capacity units.
int32_t Utf16Length(const Steinberg::char16* text, int32_t capacity) noexcept;

}  // namespace plugkit
