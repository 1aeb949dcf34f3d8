#include "webview/base64.h"

#include <cstdint>

namespace plugkit {
namespace {

constexpr char kAlphabet[] = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/";

int SextetOf(char c) {
  if (c >= 'A' && c <= 'Z') return c - 'A';
  if (c >= 'a' && c <= 'z') return c - 'a' + 26;
  if (c >= '0' && c <= '9') return c - '0' + 52;
  if (c == '+') return 62;
  if (c == '/') return 63;
  return -1;
}

}  // namespace

void Base64Encode(const uint8_t* data, int64_t n, char* out) noexcept {
  int64_t i = 0;
  for (; i + 3 <= n; i += 3) {
    const uint32_t group = uint32_t{data[i]} << 16 | uint32_t{data[i + 1]} << 8 | data[i + 2];
    *out++ = kAlphabet[group >> 18];
    *out++ = kAlphabet[(group >> 12) & 63];
    *out++ = kAlphabet[(group >> 6) & 63];
    *out++ = kAlphabet[group & 63];
  }
  if (n - i == 2) {
    const uint32_t group = uint32_t{data[i]} << 16 | uint32_t{data[i + 1]} << 8;
    *out++ = kAlphabet[group >> 18];
    *out++ = kAlphabet[(group >> 12) & 63];
    *out++ = kAlphabet[(group >> 6) & 63];
    *out++ = '=';
  } else if (n - i == 1) {
    const uint32_t group = uint32_t{data[i]} << 16;
    *out++ = kAlphabet[group >> 18];
    *out++ = kAlphabet[(group >> 12) & 63];
    *out++ = '=';
    *out++ = '=';
  }
  *out = '\0';
}

std::string Base64Text(const uint8_t* data, int64_t n) {
  if (data == nullptr || n <= 0) return {};
  std::string text(static_cast<std::size_t>(Base64BufferSize(n)), '\0');
  Base64Encode(data, n, text.data());
  text.pop_back();
  return text;
}

std::optional<std::vector<uint8_t>> DecodePagePayload(std::string_view text) {
  const auto length = static_cast<int64_t>(text.size());
  int64_t padding = 0;
  if (length >= 2 && text[text.size() - 2] == '=')
    padding = 2;
  else if (length >= 1 && text.back() == '=')
    padding = 1;
  const int64_t size = 3 * length / 4 - padding;
  if (size < 0 || size > INT32_MAX) return std::nullopt;

  std::vector<uint8_t> bytes(static_cast<std::size_t>(size), 0);
  uint32_t bits = 0;
  int pending = 0;
  std::size_t written = 0;
  for (const char c : text) {
    const int sextet = SextetOf(c);
    if (sextet < 0 || written == bytes.size()) break;
    bits = (bits << 6 | static_cast<uint32_t>(sextet)) & 0xFFFFFF;
    pending += 6;
    if (pending >= 8) {
      pending -= 8;
      bytes[written++] = static_cast<uint8_t>(bits >> pending);
    }
  }
  return bytes;
}

}  // namespace plugkit
