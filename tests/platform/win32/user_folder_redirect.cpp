#include "tests/platform/user_folder_redirect.h"

namespace test {

UserFolderRedirect::UserFolderRedirect(const std::string&) {}
UserFolderRedirect::~UserFolderRedirect() = default;

}  // namespace test
