#include "tests/platform/user_folder_redirect.h"

#include <cstdlib>

namespace test {

UserFolderRedirect::UserFolderRedirect(const std::string& folder) {
  if (const char* value = std::getenv("XDG_DATA_HOME")) saved_ = value;
  setenv("XDG_DATA_HOME", folder.c_str(), 1);
}

UserFolderRedirect::~UserFolderRedirect() {
  if (saved_)
    setenv("XDG_DATA_HOME", saved_->c_str(), 1);
  else
    unsetenv("XDG_DATA_HOME");
}

}  // namespace test
