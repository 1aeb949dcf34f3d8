#include "framework/core/grow_string.h"

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <limits>

namespace plugkit {
namespace {

constexpr int64_t kMaxSize = std::numeric_limits<int32_t>::max();

}  // namespace

const char* GrowString::Get() const noexcept {
  const char* text = buffer_.DataAs<char>();
  return text != nullptr ? text : "";
}

bool GrowString::Set(const char* text, int32_t maxLen) noexcept {
  int64_t length = 0;
  if (text != nullptr) {
    if (maxLen <= 0) {
      length = static_cast<int64_t>(std::strlen(text));
    } else {
      while (length < maxLen && text[length] != '\0') ++length;
    }
  }
  if (length == 0) {
    buffer_.Resize(1, false);
    if (buffer_.Size() != 1) return false;
    buffer_.DataAs<char>()[0] = '\0';
    return true;
  }
  const int64_t needed = length + 1;
  if (needed > kMaxSize) return false;

  // A text taken from this string's own block is re-pointed when growth moves the block.
  const int64_t offset = buffer_.OffsetOf(text);
  const int32_t oldSize = buffer_.Size();
  if (needed > oldSize) {
    buffer_.Resize(static_cast<int32_t>(needed), false);
    if (buffer_.Size() < needed) return false;
  }
  char* data = buffer_.DataAs<char>();
  std::memmove(data, offset >= 0 ? data + offset : text, static_cast<std::size_t>(length));
  data[length] = '\0';
  if (needed < oldSize) buffer_.Resize(static_cast<int32_t>(needed), false);
  return true;
}

bool GrowString::FormatAt(int32_t position, int32_t maxLen, const char* format, va_list args) noexcept {
  if (maxLen < 0 || format == nullptr) return false;
  const int64_t needed = int64_t{position} + maxLen + 1;
  if (needed > kMaxSize) return false;
  buffer_.Resize(static_cast<int32_t>(needed), false);
  if (buffer_.Size() != needed) return false;

  char* at = buffer_.DataAs<char>() + position;
  // A formatter that fails before writing anything must leave "", not stale bytes.
  at[0] = '\0';
  int n = std::vsnprintf(at, static_cast<std::size_t>(maxLen) + 1, format, args);
  if (n < 0 || n >= maxLen) {
    n = at[0] != '\0' ? maxLen : 0;
    at[n] = '\0';
  }
  buffer_.Resize(position + n + 1, false);
  return true;
}

bool GrowString::SetFormattedV(int32_t maxLen, const char* format, va_list args) noexcept {
  return FormatAt(0, maxLen, format, args);
}

bool GrowString::SetFormatted(int32_t maxLen, const char* format, ...) noexcept {
  va_list args;
  va_start(args, format);
  const bool ok = FormatAt(0, maxLen, format, args);
  va_end(args);
  return ok;
}

bool GrowString::AppendFormattedV(int32_t maxLen, const char* format, va_list args) noexcept {
  return FormatAt(Length(), maxLen, format, args);
}

bool GrowString::AppendFormatted(int32_t maxLen, const char* format, ...) noexcept {
  va_list args;
  va_start(args, format);
  const bool ok = FormatAt(Length(), maxLen, format, args);
  va_end(args);
  return ok;
}

bool GrowString::Splice(int32_t position, const char* text, int32_t textLen, int32_t tailLen) noexcept {
  if (textLen == 0) {
    if (tailLen != 0 || position != 0) return true;  // nothing to write
    return Set("");
  }
  if (textLen < 0 || position < 0 || tailLen < 0) return false;
  const int64_t needed = int64_t{position} + textLen + tailLen + 1;
  if (needed > kMaxSize) return false;

  // A text inside the block must lie before the end of the tail: the bytes after it are
  // overwritten by the moved tail before the text is copied.
  const int64_t offset = buffer_.OffsetOf(text);
  const bool inner = offset >= 0;
  if (inner && offset + textLen > int64_t{position} + tailLen) return false;

  const int32_t oldSize = buffer_.Size();
  if (needed > oldSize) {
    buffer_.Resize(static_cast<int32_t>(needed), false);
    if (buffer_.Size() < needed) return false;
  }
  char* data = buffer_.DataAs<char>();
  std::memmove(data + position + textLen, data + position, static_cast<std::size_t>(tailLen));
  if (text != nullptr) {
    if (!inner) {
      std::memmove(data + position, text, static_cast<std::size_t>(textLen));
    } else {
      // Bytes before position stayed; bytes from position on moved up with the tail.
      const int64_t head = std::clamp<int64_t>(int64_t{position} - offset, 0, textLen);
      std::memmove(data + position, data + offset, static_cast<std::size_t>(head));
      std::memmove(data + position + head, data + offset + head + textLen, static_cast<std::size_t>(textLen - head));
    }
  }
  data[needed - 1] = '\0';
  if (needed < oldSize) buffer_.Resize(static_cast<int32_t>(needed), false);
  return true;
}

bool GrowString::Append(const char* text, int32_t textLen) noexcept {
  if (textLen < 0) {
    const std::size_t length = text != nullptr ? std::strlen(text) : 0;
    if (length > static_cast<std::size_t>(kMaxSize)) return false;
    textLen = static_cast<int32_t>(length);
  }
  return Splice(Length(), text, textLen, 0);
}

}  // namespace plugkit
