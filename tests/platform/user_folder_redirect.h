// Points the user's local application data folder at a test's scratch folder for the test's
// lifetime. The POSIX stand-in follows the folder's variables; Windows keeps its own folder, so there
// it does nothing, and tests that need the scratch folder pass it explicitly.
#pragma once

#include <optional>
#include <string>

namespace test {

class UserFolderRedirect {
 public:
  explicit UserFolderRedirect(const std::string& folder);
  ~UserFolderRedirect();
  UserFolderRedirect(const UserFolderRedirect&) = delete;
  UserFolderRedirect& operator=(const UserFolderRedirect&) = delete;

 private:
  std::optional<std::string> saved_;
  std::optional<std::string> savedLocal_;
};

}  // namespace test
