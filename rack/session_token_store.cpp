#include "rack/session_token_store.h"

#include <nlohmann/json.hpp>

#include "platform/atomic_file_write.h"
#include "platform/bundle_layout.h"
#include "platform/data_protection.h"
#include "platform/file_access.h"

namespace tarnwell {
namespace {

constexpr size_t kMinTokenBytes = 16;
constexpr size_t kMaxTokenBytes = 512;
// A session file holds one short object; anything larger is not ours, and reading it whole
// would let a stray file exhaust the host's memory.
constexpr size_t kMaxSessionFileBytes = 65536;

bool IsTokenCharacter(char c) {
  return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') || c == '-' || c == '.' ||
         c == '_' || c == '=';
}

int HexDigitValue(char c) {
  if (c >= '0' && c <= '9') return c - '0';
  if (c >= 'a' && c <= 'f') return c - 'a' + 10;
  if (c >= 'A' && c <= 'F') return c - 'A' + 10;
  return -1;
}

// False for an odd length or a character that is no hex digit.
bool HexDecode(std::string_view hex, std::string& bytes) {
  bytes.clear();
  if (hex.size() % 2 != 0) return false;
  for (size_t i = 0; i < hex.size(); i += 2) {
    const int high = HexDigitValue(hex[i]);
    const int low = HexDigitValue(hex[i + 1]);
    if (high < 0 || low < 0) return false;
    bytes.push_back(static_cast<char>(high * 16 + low));
  }
  return true;
}

}  // namespace

bool IsValidSessionToken(std::string_view token) noexcept {
  if (token.size() < kMinTokenBytes || token.size() > kMaxTokenBytes) return false;
  for (const char c : token)
    if (!IsTokenCharacter(c)) return false;
  return true;
}

std::string HexEncode(std::string_view bytes) {
  static constexpr char kDigits[] = "0123456789abcdef";
  std::string hex;
  hex.reserve(bytes.size() * 2);
  for (const char c : bytes) {
    hex.push_back(kDigits[static_cast<uint8_t>(c) >> 4]);
    hex.push_back(kDigits[static_cast<uint8_t>(c) & 0xF]);
  }
  return hex;
}

SessionTokenStore::SessionTokenStore(plugkit::platform::CredentialStore& credentials, std::string appDataFolder,
                                     std::string credentialTarget)
    : credentials_(credentials),
      appDataFolder_(std::move(appDataFolder)),
      credentialTarget_(std::move(credentialTarget)) {}

std::string SessionTokenStore::SessionFilePathCreatingFolder() const {
  if (appDataFolder_.empty()) return {};
  const std::string folder = appDataFolder_ + plugkit::platform::kPathSeparator + "Tarnwell";
  plugkit::platform::CreateFolders(folder);
  plugkit::platform::ClearReadOnly(folder);
  return folder + plugkit::platform::kPathSeparator + "session.json";
}

// The credential's blob is taken as it is, without the character rule: another instance
// stored it through the same checks.
std::string SessionTokenStore::GetSessionToken() const {
  const std::optional<std::string> blob = credentials_.Read(credentialTarget_);
  if (blob && blob->size() >= kMinTokenBytes && blob->size() <= kMaxTokenBytes) return *blob;
  return TokenFromSessionFile();
}

std::string SessionTokenStore::TokenFromSessionFile() const {
  try {
    const std::string path = SessionFilePathCreatingFolder();
    std::string text;
    if (path.empty() || !plugkit::platform::ReadFilePrefix(path, kMaxSessionFileBytes + 1, text) ||
        text.size() > kMaxSessionFileBytes)
      return {};
    const nlohmann::json file = nlohmann::json::parse(text, nullptr, false);
    if (!file.is_object()) return {};
    std::string token = file.value("token", std::string());
    const std::string sealed = file.value("token_dpapi", std::string());
    if (!sealed.empty()) {
      std::string sealedBytes;
      if (!HexDecode(sealed, sealedBytes) || !plugkit::platform::UnprotectForCurrentUser(sealedBytes, token)) return {};
    }
    return IsValidSessionToken(token) ? token : std::string();
  } catch (...) {
    // A key of another type, or memory ran out: no usable token.
    return {};
  }
}

bool SessionTokenStore::SetSessionToken(std::string_view token, std::string& error) {
  if (!IsValidSessionToken(token)) {
    error = "invalid token";
    return false;
  }
  if (credentials_.Write(credentialTarget_, kSessionCredentialUser, token)) {
    RemoveSessionFile();
    return true;
  }
  try {
    std::string sealed;
    if (!plugkit::platform::ProtectForCurrentUser(token, kSessionProtectionDescription, sealed)) {
      error = "cannot protect token";
      return false;
    }
    const std::string path = SessionFilePathCreatingFolder();
    const std::string text = nlohmann::json{{"token_dpapi", HexEncode(sealed)}}.dump(2);
    // Our own file, marked read-only by someone else, would refuse to be replaced.
    plugkit::platform::ClearReadOnly(path);
    if (path.empty() || !plugkit::platform::WriteFileAtomically(path, text, plugkit::platform::FileAccess::OwnerOnly)) {
      error = "cannot write token";
      return false;
    }
    plugkit::platform::ClearReadOnly(path);
    // An older credential would otherwise be read first and hide the token just stored.
    credentials_.Delete(credentialTarget_);
    return true;
  } catch (...) {
    error = "cannot write token";
    return false;
  }
}

void SessionTokenStore::ClearSessionToken() {
  credentials_.Delete(credentialTarget_);
  RemoveSessionFile();
}

// A read-only file would survive the delete on Windows and hand its token out again.
void SessionTokenStore::RemoveSessionFile() const noexcept {
  try {
    const std::string path = SessionFilePathCreatingFolder();
    if (path.empty()) return;
    plugkit::platform::ClearReadOnly(path);
    plugkit::platform::RemoveFile(path);
  } catch (...) {
  }
}

}  // namespace tarnwell
