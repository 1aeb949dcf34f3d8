// Basic types of the browser's COM interfaces, declared so that the same headers compile for
// Windows (mingw-w64, x64) and natively on Linux, where only test fakes implement them.
// Widths follow the Windows ABI: LONG/ULONG/BOOL/HRESULT are 32-bit, WCHAR is 16-bit.
#pragma once

#include <cstdint>

namespace plugkit::webview2 {

// The x64 calling convention has one form for member functions, so no per-method attribute
// is needed; a 32-bit build would need __stdcall on every method.
static_assert(sizeof(void*) == 8, "these declarations are for 64-bit targets only");

using HResult = int32_t;
using Bool32 = int32_t;
using ULong = uint32_t;
using Char = char16_t;

inline constexpr HResult kOk = 0;
inline constexpr HResult kNotImplemented = static_cast<HResult>(0x80004001u);
inline constexpr HResult kNoInterface = static_cast<HResult>(0x80004002u);
inline constexpr HResult kInvalidPointer = static_cast<HResult>(0x80004003u);
inline constexpr HResult kUnspecifiedFailure = static_cast<HResult>(0x80004005u);
inline constexpr HResult kOutOfMemory = static_cast<HResult>(0x8007000Eu);
// HRESULT_FROM_WIN32(ERROR_MOD_NOT_FOUND): the loader DLL or its entry point is missing.
inline constexpr HResult kModuleNotFound = static_cast<HResult>(0x8007007Eu);

struct Guid {
  uint32_t data1;
  uint16_t data2;
  uint16_t data3;
  uint8_t data4[8];

  friend constexpr bool operator==(const Guid& a, const Guid& b) {
    if (a.data1 != b.data1 || a.data2 != b.data2 || a.data3 != b.data3) return false;
    for (int i = 0; i < 8; ++i)
      if (a.data4[i] != b.data4[i]) return false;
    return true;
  }
};

namespace detail {
constexpr uint32_t HexDigit(char c) {
  if (c >= '0' && c <= '9') return static_cast<uint32_t>(c - '0');
  if (c >= 'a' && c <= 'f') return static_cast<uint32_t>(c - 'a' + 10);
  if (c >= 'A' && c <= 'F') return static_cast<uint32_t>(c - 'A' + 10);
  throw "not a hexadecimal digit";  // only ever evaluated at compile time
}
constexpr uint32_t HexField(const char* text, int digits) {
  uint32_t value = 0;
  for (int i = 0; i < digits; ++i) value = value << 4 | HexDigit(text[i]);
  return value;
}
}  // namespace detail

// Parses "xxxxxxxx-xxxx-xxxx-xxxx-xxxxxxxxxxxx" at compile time.
consteval Guid MakeGuid(const char (&text)[37]) {
  if (text[8] != '-' || text[13] != '-' || text[18] != '-' || text[23] != '-') throw "malformed GUID";
  Guid guid{detail::HexField(text, 8),
            static_cast<uint16_t>(detail::HexField(text + 9, 4)),
            static_cast<uint16_t>(detail::HexField(text + 14, 4)),
            {}};
  guid.data4[0] = static_cast<uint8_t>(detail::HexField(text + 19, 2));
  guid.data4[1] = static_cast<uint8_t>(detail::HexField(text + 21, 2));
  for (int i = 0; i < 6; ++i) guid.data4[2 + i] = static_cast<uint8_t>(detail::HexField(text + 24 + 2 * i, 2));
  return guid;
}

struct Rect {
  int32_t left;
  int32_t top;
  int32_t right;
  int32_t bottom;
};

struct Color {
  uint8_t a;
  uint8_t r;
  uint8_t g;
  uint8_t b;
};

struct EventRegistrationToken {
  int64_t value;
};

enum HostResourceAccessKind : int32_t {
  kHostResourceAccessDeny = 0,
  kHostResourceAccessAllow = 1,
  kHostResourceAccessDenyCors = 2,
};

enum DownloadState : int32_t {
  kDownloadInProgress = 0,
  kDownloadInterrupted = 1,
  kDownloadCompleted = 2,
};

// Only printed; the values in between (1..12) are further network errors.
enum WebErrorStatus : int32_t {
  kWebErrorUnknown = 0,
  kWebErrorHostNameNotResolved = 13,
  kWebErrorOperationCanceled = 14,
  kWebErrorRedirectFailed = 15,
  kWebErrorUnexpected = 16,
};

// Slots 0-2 of every interface. There are no virtual destructors: the vtable must hold exactly
// the published methods in the published order.
class IUnknown {
 public:
  static constexpr Guid kIid = MakeGuid("00000000-0000-0000-c000-000000000046");
  virtual HResult QueryInterface(const Guid& iid, void** object) = 0;
  virtual ULong AddRef() = 0;
  virtual ULong Release() = 0;

 protected:
  ~IUnknown() = default;
};

}  // namespace plugkit::webview2

// A vtable slot we never call: it keeps the later slots at their published numbers.
#define PLUGKIT_WEBVIEW2_RESERVED(slot) \
  virtual ::plugkit::webview2::HResult reserved_##slot() { return ::plugkit::webview2::kNotImplemented; }
