#include "platform/data_protection.h"

#include <windows.h>

#include "platform/win32/utf16.h"

namespace plugkit::platform::win32 {

// The blob and calls of crypt32, declared here as the system documents them.
struct DataBlob {
  DWORD size;
  BYTE* data;
};

constexpr DWORD kCryptProtectUiForbidden = 0x1;

}  // namespace plugkit::platform::win32

extern "C" {
__declspec(dllimport) BOOL WINAPI CryptProtectData(plugkit::platform::win32::DataBlob* in, const wchar_t* description,
                                                   plugkit::platform::win32::DataBlob* entropy, void* reserved,
                                                   void* prompt, DWORD flags, plugkit::platform::win32::DataBlob* out);
__declspec(dllimport) BOOL WINAPI
    CryptUnprotectData(plugkit::platform::win32::DataBlob* in, wchar_t** description,
                       plugkit::platform::win32::DataBlob* entropy, void* reserved, void* prompt, DWORD flags,
                       plugkit::platform::win32::DataBlob* out);
}

namespace plugkit::platform {
namespace {

using win32::DataBlob;
using win32::kCryptProtectUiForbidden;

// Takes the system's output blob into text and frees it.
bool TakeBlob(DataBlob& blob, std::string& text) {
  bool ok = false;
  try {
    text.assign(reinterpret_cast<const char*>(blob.data), blob.data != nullptr ? blob.size : 0);
    ok = true;
  } catch (...) {
    text.clear();
  }
  if (blob.data != nullptr) LocalFree(blob.data);
  return ok;
}

}  // namespace

bool ProtectForCurrentUser(std::string_view bytes, const std::string& description, std::string& sealed) noexcept {
  sealed.clear();
  try {
    if (bytes.size() > MAXDWORD) return false;
    std::string input(bytes);
    const std::wstring wideDescription = win32::Utf8ToWide(description);
    DataBlob in{static_cast<DWORD>(input.size()), reinterpret_cast<BYTE*>(input.data())};
    DataBlob out{};
    if (!CryptProtectData(&in, wideDescription.empty() ? nullptr : wideDescription.c_str(), nullptr, nullptr, nullptr,
                          kCryptProtectUiForbidden, &out))
      return false;
    return TakeBlob(out, sealed);
  } catch (...) {
    sealed.clear();
    return false;
  }
}

bool UnprotectForCurrentUser(std::string_view sealed, std::string& bytes) noexcept {
  bytes.clear();
  try {
    if (sealed.empty() || sealed.size() > MAXDWORD) return false;
    std::string input(sealed);
    DataBlob in{static_cast<DWORD>(input.size()), reinterpret_cast<BYTE*>(input.data())};
    DataBlob out{};
    if (!CryptUnprotectData(&in, nullptr, nullptr, nullptr, nullptr, kCryptProtectUiForbidden, &out)) return false;
    return TakeBlob(out, bytes);
  } catch (...) {
    bytes.clear();
    return false;
  }
}

}  // namespace plugkit::platform
