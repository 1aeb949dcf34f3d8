#include "tests/platform/user_folder_redirect.h"

#include <cstdlib>

namespace test {

// LOCALAPPDATA would win over XDG_DATA_HOME, so it is out of the way meanwhile.
UserFolderRedirect::UserFolderRedirect(const std::string& folder) {
  if (const char* value = std::getenv("XDG_DATA_HOME")) saved_ = value;
  if (const char* value = std::getenv("LOCALAPPDATA")) savedLocal_ = value;
  setenv("XDG_DATA_HOME", folder.c_str(), 1);
  unsetenv("LOCALAPPDATA");
}

UserFolderRedirect::~UserFolderRedirect() {
  if (saved_)
    setenv("XDG_DATA_HOME", saved_->c_str(), 1);
  else
    unsetenv("XDG_DATA_HOME");
  if (savedLocal_) setenv("LOCALAPPDATA", savedLocal_->c_str(), 1);
}

}  // namespace test
