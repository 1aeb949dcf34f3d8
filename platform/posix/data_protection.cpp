#include "platform/data_protection.h"

#include <unistd.h>

#include <array>
#include <cstdint>

namespace plugkit::platform {
namespace {

// Layout: magic, then the bytes XORed with a stream keyed by the user id, then the FNV-1a
// hash of the plain bytes (little endian). Any changed byte breaks the hash.
constexpr std::array<char, 4> kMagic = {'T', 'W', 'P', '1'};
constexpr size_t kHashBytes = 4;

uint32_t Fnv1a(std::string_view bytes) {
  uint32_t hash = 2166136261u;
  for (const char c : bytes) hash = (hash ^ static_cast<uint8_t>(c)) * 16777619u;
  return hash;
}

// xorshift64* keyed by the user, so another user's sealed form does not open.
class KeyStream {
 public:
  KeyStream() : state_(0x9E3779B97F4A7C15ull ^ (static_cast<uint64_t>(getuid()) * 0xD1B54A32D192ED03ull)) {}
  uint8_t Next() {
    state_ ^= state_ >> 12;
    state_ ^= state_ << 25;
    state_ ^= state_ >> 27;
    return static_cast<uint8_t>((state_ * 0x2545F4914F6CDD1Dull) >> 56);
  }

 private:
  uint64_t state_;
};

void Scramble(std::string_view in, std::string& out) {
  KeyStream key;
  for (const char c : in) out.push_back(static_cast<char>(static_cast<uint8_t>(c) ^ key.Next()));
}

}  // namespace

bool ProtectForCurrentUser(std::string_view bytes, const std::string&, std::string& sealed) noexcept {
  try {
    sealed.assign(kMagic.begin(), kMagic.end());
    Scramble(bytes, sealed);
    const uint32_t hash = Fnv1a(bytes);
    for (size_t i = 0; i < kHashBytes; ++i) sealed.push_back(static_cast<char>((hash >> (8 * i)) & 0xFF));
    return true;
  } catch (...) {
    sealed.clear();
    return false;
  }
}

bool UnprotectForCurrentUser(std::string_view sealed, std::string& bytes) noexcept {
  bytes.clear();
  try {
    const std::string_view magic(kMagic.data(), kMagic.size());
    if (sealed.size() < magic.size() + kHashBytes || sealed.substr(0, magic.size()) != magic) return false;
    Scramble(sealed.substr(kMagic.size(), sealed.size() - kMagic.size() - kHashBytes), bytes);
    uint32_t stored = 0;
    for (size_t i = 0; i < kHashBytes; ++i)
      stored |= static_cast<uint32_t>(static_cast<uint8_t>(sealed[sealed.size() - kHashBytes + i])) << (8 * i);
    if (stored == Fnv1a(bytes)) return true;
  } catch (...) {
  }
  bytes.clear();
  return false;
}

}  // namespace plugkit::platform
