#include "framework/core/state_blob.h"

#include <cstring>
#include <limits>

namespace plugkit {
namespace {

constexpr int64_t kMaxSize = std::numeric_limits<int32_t>::max();

}  // namespace

bool StateBlob::PutText(const char* text) noexcept {
  const std::size_t length = text != nullptr ? std::strlen(text) : 0;
  const int64_t oldSize = buffer_.Size();
  if (length > static_cast<std::size_t>(kMaxSize - 4)) return false;
  const int64_t needed = oldSize + 4 + static_cast<int64_t>(length);
  if (needed > kMaxSize) return false;
  // The text may lie in this blob's own block, which the growth below can move.
  const int64_t offset = buffer_.OffsetOf(text);
  buffer_.Resize(static_cast<int32_t>(needed), true);
  if (buffer_.Size() != needed) return false;
  unsigned char* data = buffer_.DataAs<unsigned char>();
  const int32_t count = static_cast<int32_t>(length);
  std::memcpy(data + oldSize, &count, 4);
  if (length > 0)
    std::memmove(data + oldSize + 4, offset >= 0 ? data + offset : reinterpret_cast<const unsigned char*>(text),
                 length);
  return true;
}

int32_t StateBlob::Get(void* out, int32_t n, int32_t position) const noexcept {
  if (position < 0 || n < 0) return -1;
  const int64_t end = int64_t{position} + n;
  if (end > buffer_.Size()) return -1;
  if (n > 0) std::memcpy(out, Data() + position, static_cast<std::size_t>(n));
  return static_cast<int32_t>(end);
}

int32_t StateBlob::GetText(GrowString& out, int32_t position) const noexcept {
  int32_t length = 0;
  const int32_t start = Get(&length, 4, position);
  if (start < 0 || length < 0) return -1;
  const int64_t end = int64_t{start} + length;
  if (end > kMaxSize) return -1;
  if (end <= buffer_.Size()) {
    const bool ok = length == 0 ? out.Set("") : out.Set(reinterpret_cast<const char*>(Data() + start), length);
    if (!ok) return -1;
  }
  return static_cast<int32_t>(end);
}

}  // namespace plugkit
