#include "webview/utf16_convert.h"

#include <cstring>

#include "platform/utf16_text.h"

namespace plugkit::webview {
namespace {

constexpr char32_t kReplacement = 0xFFFD;

bool IsContinuation(unsigned char byte) { return (byte & 0xC0) == 0x80; }

// Decodes one code point at text[i], advancing i past it. A malformed or overlong sequence,
// a surrogate or a value beyond U+10FFFF gives U+FFFD and consumes the maximal valid prefix
// (at least one byte), so that every byte is accounted for once.
char32_t DecodeOne(std::string_view text, std::size_t& i) {
  const auto lead = static_cast<unsigned char>(text[i++]);
  if (lead < 0x80) return lead;
  int trailing = 0;
  char32_t value = 0;
  char32_t minimum = 0;
  if ((lead & 0xE0) == 0xC0) {
    trailing = 1, value = lead & 0x1F, minimum = 0x80;
  } else if ((lead & 0xF0) == 0xE0) {
    trailing = 2, value = lead & 0x0F, minimum = 0x800;
  } else if ((lead & 0xF8) == 0xF0) {
    trailing = 3, value = lead & 0x07, minimum = 0x10000;
  } else {
    return kReplacement;
  }
  for (int k = 0; k < trailing; ++k) {
    if (i >= text.size() || !IsContinuation(static_cast<unsigned char>(text[i]))) return kReplacement;
    value = value << 6 | (static_cast<unsigned char>(text[i++]) & 0x3F);
  }
  if (value < minimum || value > 0x10FFFF || (value >= 0xD800 && value <= 0xDFFF)) return kReplacement;
  return value;
}

template <typename Sink>
void ForEachUnit(std::string_view text, Sink&& sink) {
  for (std::size_t i = 0; i < text.size();) {
    const char32_t c = DecodeOne(text, i);
    if (c >= 0x10000) {
      sink(static_cast<char16_t>(0xD800 + ((c - 0x10000) >> 10)));
      sink(static_cast<char16_t>(0xDC00 + ((c - 0x10000) & 0x3FF)));
    } else {
      sink(static_cast<char16_t>(c));
    }
  }
}

}  // namespace

std::u16string Utf8ToUtf16(std::string_view text) {
  std::u16string out;
  out.reserve(text.size());
  ForEachUnit(text, [&](char16_t unit) { out.push_back(unit); });
  return out;
}

int32_t WideLengthOfUtf8(const char* text) noexcept {
  if (text == nullptr) return 1;
  int64_t units = 1;
  ForEachUnit(text, [&](char16_t) { ++units; });
  return units > INT32_MAX ? INT32_MAX : static_cast<int32_t>(units);
}

int32_t Utf8ToWide(webview2::Char* out, const char* text, int32_t capacity) noexcept {
  if (out == nullptr || capacity <= 0) return 0;
  const int32_t needed = WideLengthOfUtf8(text);
  if (needed > capacity) {
    out[0] = u'\0';
    return 0;
  }
  int32_t written = 0;
  if (text != nullptr) ForEachUnit(text, [&](char16_t unit) { out[written++] = unit; });
  out[written++] = u'\0';
  return written;
}

std::string Utf16ToUtf8(const webview2::Char* text) noexcept {
  if (text == nullptr) return {};
  try {
    return platform::Utf16ToUtf8(text);
  } catch (...) {
    return {};
  }
}

}  // namespace plugkit::webview
