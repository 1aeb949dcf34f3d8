// GrowString: a NUL-terminated text kept in a GrowBuffer of granularity 128.
// The size counts the terminator: a text of n characters has size n + 1; sizes 0 and 1 both
// read as "". Failure (out of memory, lengths beyond INT32_MAX, negative lengths) leaves the
// text as it was and is reported by a false result; nothing throws.
#pragma once

#include <cstdarg>
#include <cstdint>

#include "framework/core/grow_buffer.h"

#if defined(__GNUC__)
#define PLUGKIT_PRINTF_FORMAT(formatIndex, firstArg) __attribute__((format(printf, formatIndex, firstArg)))
#else
#define PLUGKIT_PRINTF_FORMAT(formatIndex, firstArg)
#endif

namespace plugkit {

class GrowString {
 public:
  GrowString() noexcept : buffer_(GrowBuffer::kTextGranularity) {}
  explicit GrowString(const char* text) noexcept : GrowString() { Set(text); }

  GrowString(const GrowString&) = delete;
  GrowString& operator=(const GrowString&) = delete;
  GrowString(GrowString&&) noexcept = default;
  GrowString& operator=(GrowString&&) noexcept = default;

  // The text; "" (never null) while the size is 0.
  const char* Get() const noexcept;
  // Characters before the terminator as the size counts them: size - 1, or 0 when empty.
  int32_t Length() const noexcept { return buffer_.Size() > 0 ? buffer_.Size() - 1 : 0; }
  bool IsEmpty() const noexcept { return Get()[0] == '\0'; }

  // Copies text: maxLen <= 0 copies it whole, otherwise at most maxLen characters, stopping
  // earlier at a NUL. Null or empty sets "". The text may lie inside this string's own block.
  bool Set(const char* text, int32_t maxLen = 0) noexcept;

  // Deep copy of another string's bytes (as GrowBuffer::Assign).
  bool Assign(const GrowString& other) noexcept { return buffer_.Assign(other.buffer_); }

  // printf-style formatting of at most maxLen characters; longer output is cut to its first
  // maxLen characters. The arguments must not point into this string. For %s and integer
  // pieces only: numbers with decimals go through number_text.h, which ignores the locale.
  bool SetFormatted(int32_t maxLen, const char* format, ...) noexcept PLUGKIT_PRINTF_FORMAT(3, 4);
  bool SetFormattedV(int32_t maxLen, const char* format, va_list args) noexcept;
  // As SetFormatted, adding at most maxLen characters after the current text.
  bool AppendFormatted(int32_t maxLen, const char* format, ...) noexcept PLUGKIT_PRINTF_FORMAT(3, 4);
  bool AppendFormattedV(int32_t maxLen, const char* format, va_list args) noexcept;

  // Writes textLen bytes of text at position after moving the tailLen bytes that stood there
  // to position + textLen; the string ends after them. A null text writes no bytes (the room
  // is still made). The text may lie inside this string before position + tailLen.
  bool Splice(int32_t position, const char* text, int32_t textLen, int32_t tailLen) noexcept;

  // Appends textLen bytes of text (textLen < 0: up to its NUL); Splice at the current length.
  bool Append(const char* text, int32_t textLen = -1) noexcept;

  // The underlying block, for code that fills a text in place (size it to length + 1).
  GrowBuffer& Buffer() noexcept { return buffer_; }
  const GrowBuffer& Buffer() const noexcept { return buffer_; }

 private:
  bool FormatAt(int32_t position, int32_t maxLen, const char* format, va_list args) noexcept;

  GrowBuffer buffer_;
};

}  // namespace plugkit
