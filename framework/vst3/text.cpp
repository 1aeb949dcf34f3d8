#include "framework/vst3/text.h"

namespace plugkit {

void WidenBytes(Steinberg::char16* field, int32_t capacity, const char* text) noexcept {
  if (field == nullptr || capacity <= 0) return;
  int32_t i = 0;
  for (; text != nullptr && i + 1 < capacity && text[i] != 0; ++i)
    field[i] = static_cast<Steinberg::char16>(static_cast<unsigned char>(text[i]));
  for (; i < capacity; ++i) field[i] = 0;
}

void NarrowLowBytes(const Steinberg::char16* text, int32_t capacity, char* out, int32_t outCapacity) noexcept {
  if (out == nullptr || outCapacity <= 0) return;
  int32_t i = 0;
  for (; text != nullptr && i < capacity && i + 1 < outCapacity && text[i] != 0; ++i)
    out[i] = static_cast<char>(text[i] & 0xFF);
  out[i] = 0;
}

int32_t Utf16Length(const Steinberg::char16* text, int32_t capacity) noexcept {
  int32_t n = 0;
  while (text != nullptr && n < capacity && text[n] != 0) ++n;
  return n;
}

}  // namespace plugkit
