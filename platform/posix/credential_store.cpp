// Stand-in: one file per credential, named by the hex of its target (targets hold "/"),
// holding the user name, a line break and the blob. Files and folder are owner-only.
#include "platform/credential_store.h"

#include <sys/stat.h>

#include "platform/atomic_file_write.h"
#include "platform/file_access.h"
#include "platform/special_folder.h"

namespace plugkit::platform {
namespace {

// A user name as long as the platform accepts, its line break and the largest blob.
constexpr size_t kMaxRecordBytes = 513 + 1 + kMaxCredentialBlobBytes;

std::string CredentialFolder() {
  const std::string root = SpecialFolderPath(SpecialFolder::LocalAppData);
  return root.empty() ? std::string() : root + "/Tarnwell/credentials";
}

std::string CredentialFile(const std::string& target) {
  static constexpr char kDigits[] = "0123456789abcdef";
  const std::string folder = CredentialFolder();
  if (folder.empty() || target.empty()) return {};
  std::string name;
  for (const char c : target) {
    name.push_back(kDigits[static_cast<uint8_t>(c) >> 4]);
    name.push_back(kDigits[static_cast<uint8_t>(c) & 0xF]);
  }
  return folder + "/" + name;
}

class FileCredentialStore final : public CredentialStore {
 public:
  std::optional<std::string> Read(const std::string& target) override {
    const std::string path = CredentialFile(target);
    std::string record;
    if (path.empty() || !ReadFilePrefix(path, kMaxRecordBytes + 1, record) || record.size() > kMaxRecordBytes)
      return std::nullopt;
    const size_t lineEnd = record.find('\n');
    if (lineEnd == std::string::npos) return std::nullopt;
    return record.substr(lineEnd + 1);
  }

  bool Write(const std::string& target, const std::string& userName, std::string_view blob) override {
    if (blob.size() > kMaxCredentialBlobBytes || userName.find('\n') != std::string::npos) return false;
    const std::string path = CredentialFile(target);
    if (path.empty() || !CreateFolders(CredentialFolder())) return false;
    chmod(CredentialFolder().c_str(), 0700);
    std::string record = userName + "\n";
    record.append(blob);
    return WriteFileAtomically(path, record, FileAccess::OwnerOnly);
  }

  bool Delete(const std::string& target) override {
    const std::string path = CredentialFile(target);
    return !path.empty() && RemoveFile(path);
  }
};

}  // namespace

std::unique_ptr<CredentialStore> MakeUserCredentialStore() { return std::make_unique<FileCredentialStore>(); }

}  // namespace plugkit::platform
