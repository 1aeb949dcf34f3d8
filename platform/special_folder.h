// The user's and the machine's well-known folders.
#pragma once

#include <string>

namespace plugkit::platform {

enum class SpecialFolder {
  Desktop,         // the user's desktop
  RoamingAppData,  // per-user application data that follows the user between machines
  LocalAppData,    // per-user application data of this machine
  CommonAppData,   // application data shared by all users
};

// The folder's current path as UTF-8, without a trailing separator. The folder is not
// created. "" when the platform does not know it. Never throws.
std::string SpecialFolderPath(SpecialFolder folder) noexcept;

}  // namespace plugkit::platform
