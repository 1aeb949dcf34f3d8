#include "platform/credential_store.h"

#include <windows.h>

#include "platform/win32/utf16.h"

namespace plugkit::platform::win32 {

// The credential record and calls of advapi32, declared here as the system documents them.
struct CredentialRecord {
  DWORD flags;
  DWORD type;
  wchar_t* targetName;
  wchar_t* comment;
  FILETIME lastWritten;
  DWORD blobSize;
  BYTE* blob;
  DWORD persist;
  DWORD attributeCount;
  void* attributes;
  wchar_t* targetAlias;
  wchar_t* userName;
};

constexpr DWORD kCredTypeGeneric = 1;
constexpr DWORD kCredPersistLocalMachine = 2;

}  // namespace plugkit::platform::win32

extern "C" {
__declspec(dllimport) BOOL WINAPI CredReadW(const wchar_t* targetName, DWORD type, DWORD flags,
                                            plugkit::platform::win32::CredentialRecord** credential);
__declspec(dllimport) BOOL WINAPI CredWriteW(plugkit::platform::win32::CredentialRecord* credential, DWORD flags);
__declspec(dllimport) BOOL WINAPI CredDeleteW(const wchar_t* targetName, DWORD type, DWORD flags);
__declspec(dllimport) void WINAPI CredFree(void* buffer);
}

namespace plugkit::platform {
namespace {

using win32::CredentialRecord;
using win32::kCredPersistLocalMachine;
using win32::kCredTypeGeneric;

class SystemCredentialStore final : public CredentialStore {
 public:
  std::optional<std::string> Read(const std::string& target) override {
    try {
      const std::wstring name = win32::Utf8ToWide(target);
      CredentialRecord* credential = nullptr;
      if (name.empty() || !CredReadW(name.c_str(), kCredTypeGeneric, 0, &credential) || credential == nullptr)
        return std::nullopt;
      std::optional<std::string> blob;
      try {
        blob.emplace(reinterpret_cast<const char*>(credential->blob),
                     credential->blob != nullptr ? credential->blobSize : 0);
      } catch (...) {
        blob.reset();
      }
      CredFree(credential);
      return blob;
    } catch (...) {
      return std::nullopt;
    }
  }

  bool Write(const std::string& target, const std::string& userName, std::string_view blob) override {
    try {
      if (blob.size() > kMaxCredentialBlobBytes) return false;
      std::wstring name = win32::Utf8ToWide(target);
      std::wstring user = win32::Utf8ToWide(userName);
      if (name.empty()) return false;
      std::string bytes(blob);
      CredentialRecord credential{};
      credential.type = kCredTypeGeneric;
      credential.targetName = name.data();
      credential.blobSize = static_cast<DWORD>(bytes.size());
      credential.blob = bytes.empty() ? nullptr : reinterpret_cast<BYTE*>(bytes.data());
      credential.persist = kCredPersistLocalMachine;
      credential.userName = user.empty() ? nullptr : user.data();
      return CredWriteW(&credential, 0) != 0;
    } catch (...) {
      return false;
    }
  }

  bool Delete(const std::string& target) override {
    try {
      const std::wstring name = win32::Utf8ToWide(target);
      return !name.empty() && CredDeleteW(name.c_str(), kCredTypeGeneric, 0) != 0;
    } catch (...) {
      return false;
    }
  }
};

}  // namespace

std::unique_ptr<CredentialStore> MakeUserCredentialStore() { return std::make_unique<SystemCredentialStore>(); }

}  // namespace plugkit::platform
