// The page's account session token, kept for the user outside the plug-in: in the user's
// credential store, or, when that refuses it, sealed for the user in Tarnwell/session.json
// under the local application data folder. Every instance of the user sees the same token.
// UI thread only.
#pragma once

#include <string>
#include <string_view>

#include "platform/credential_store.h"

namespace tarnwell {

inline constexpr char kSessionCredentialTarget[] = "Tarnwell/PluginSession";
inline constexpr char kSessionCredentialUser[] = "tarnwell";
inline constexpr char kSessionProtectionDescription[] = "Tarnwell session";

// 16 to 512 bytes, each an ASCII letter or digit or one of "-", ".", "_", "=".
bool IsValidSessionToken(std::string_view token) noexcept;

// Two lower-case hex digits per byte, high nibble first.
std::string HexEncode(std::string_view bytes);

class SessionTokenStore {
 public:
  // appDataFolder is the user's local application data folder; "" when the platform could
  // not tell, and then no session file is read or written (a relative path would land in
  // whatever folder the host runs in).
  SessionTokenStore(plugkit::platform::CredentialStore& credentials, std::string appDataFolder,
                    std::string credentialTarget = kSessionCredentialTarget);

  // The stored token; "" when none is stored or the stored one is unusable.
  std::string GetSessionToken() const;
  // Stores a valid token. On failure error holds "invalid token", "cannot protect token" or
  // "cannot write token", and whatever was stored before is still there.
  bool SetSessionToken(std::string_view token, std::string& error);
  // Removes the credential and the session file; every error is ignored.
  void ClearSessionToken();
  // The session file's path, creating its folder; "" without an application data folder.
  std::string SessionFilePathCreatingFolder() const;

 private:
  std::string TokenFromSessionFile() const;
  void RemoveSessionFile() const noexcept;

  plugkit::platform::CredentialStore& credentials_;
  std::string appDataFolder_;
  std::string credentialTarget_;
};

}  // namespace tarnwell
