// StateBlob: the growable byte sequence that carries plug-in state and preset data.
// Values are appended at the end and read from a position the reader carries from call to
// call; a failed read returns -1, and -1 passed on makes every following read fail too.
// Layout: native little-endian, int32 as 4 bytes, double as 8 (IEEE 754), texts as an int32
// byte count followed by the bytes (no NUL); no header, tags or alignment.
// Stored blobs come from hosts and files: every read is bounds-checked in 64-bit arithmetic.
#pragma once

#include <bit>
#include <cstdint>
#include <type_traits>

#include "framework/core/grow_buffer.h"
#include "framework/core/grow_string.h"

namespace plugkit {

static_assert(std::endian::native == std::endian::little, "the state format is little-endian");

class StateBlob {
 public:
  StateBlob() noexcept : buffer_(GrowBuffer::kListGranularity) {}

  StateBlob(const StateBlob&) = delete;
  StateBlob& operator=(const StateBlob&) = delete;
  StateBlob(StateBlob&&) noexcept = default;
  StateBlob& operator=(StateBlob&&) noexcept = default;

  // Appends n bytes; false, and the blob unchanged, when growth fails or n is negative.
  bool Put(const void* bytes, int32_t n) noexcept { return buffer_.Append(bytes, n); }
  template <typename T>
  bool PutValue(const T& value) noexcept {
    static_assert(std::is_trivially_copyable_v<T>);
    return Put(&value, static_cast<int32_t>(sizeof(T)));
  }
  // Appends the text's byte count (int32, before the NUL) and its bytes, all or nothing.
  // A null text is stored as "".
  bool PutText(const char* text) noexcept;

  // Copies n bytes from position into out and returns position + n; -1 (out untouched) when
  // position or n is negative or fewer than n bytes remain.
  int32_t Get(void* out, int32_t n, int32_t position) const noexcept;
  template <typename T>
  int32_t GetValue(T& out, int32_t position) const noexcept {
    static_assert(std::is_trivially_copyable_v<T>);
    return Get(&out, static_cast<int32_t>(sizeof(T)), position);
  }
  // Reads a text written by PutText. Returns position + 4 + length; a length of 0 gives "".
  // A length past the end still returns that position (out unchanged, the next read fails).
  // -1 (out unchanged) for a negative position or length, fewer than 4 bytes left, an end
  // beyond INT32_MAX, or when out cannot hold the text.
  int32_t GetText(GrowString& out, int32_t position) const noexcept;

  int32_t Size() const noexcept { return buffer_.Size(); }
  // Null while the size is 0.
  const unsigned char* Data() const noexcept { return buffer_.DataAs<unsigned char>(); }
  // Empties the blob, keeping its block for the next fill.
  void Clear() noexcept { buffer_.Resize(0, false); }
  bool Assign(const StateBlob& other) noexcept { return buffer_.Assign(other.buffer_); }

  GrowBuffer& Buffer() noexcept { return buffer_; }
  const GrowBuffer& Buffer() const noexcept { return buffer_; }

 private:
  GrowBuffer buffer_;
};

}  // namespace plugkit
