// Base64 of the payloads between page and plug-in (standard alphabet, "=" padding).
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace plugkit {

// The buffer Base64Encode needs for n bytes: 4 characters per started group of 3, and a NUL.
constexpr int64_t Base64BufferSize(int64_t n) { return 4 * ((n + 2) / 3) + 1; }

// Writes the base64 text of n bytes and a NUL into out (Base64BufferSize(n) bytes).
void Base64Encode(const uint8_t* data, int64_t n, char* out) noexcept;

// The base64 text of n bytes. Throws std::bad_alloc.
std::string Base64Text(const uint8_t* data, int64_t n);

// The payload of a page message's "data" text: size floor(3 L / 4) minus the padding,
// filled from the start up to the first character outside the alphabet (the rest stays 0).
// Empty optional for a malformed text: a negative size, or one beyond INT32_MAX.
std::optional<std::vector<uint8_t>> DecodePagePayload(std::string_view text);

}  // namespace plugkit
