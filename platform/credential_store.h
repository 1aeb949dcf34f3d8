// The user's store of generic credentials (a target name, a user name and a secret blob),
// behind an interface so that callers can be tested against a store that refuses or holds
// odd blobs.
#pragma once

#include <memory>
#include <optional>
#include <string>
#include <string_view>

namespace plugkit::platform {

class CredentialStore {
 public:
  virtual ~CredentialStore() = default;
  // The blob of the credential named target; nullopt when there is none or it cannot be read.
  virtual std::optional<std::string> Read(const std::string& target) = 0;
  // Creates or replaces the credential, kept for this user on this machine.
  virtual bool Write(const std::string& target, const std::string& userName, std::string_view blob) = 0;
  // False when there was nothing to delete or the store refused.
  virtual bool Delete(const std::string& target) = 0;
};

// The platform's store for the current user. On POSIX, a stand-in keeping one owner-only file
// per credential under the local application data folder (Tarnwell/credentials); it is
// looked up at each call, so tests redirect it with the folder's variable.
std::unique_ptr<CredentialStore> MakeUserCredentialStore();

// The largest blob the platform keeps in one credential.
inline constexpr std::size_t kMaxCredentialBlobBytes = 5 * 512;

}  // namespace plugkit::platform
