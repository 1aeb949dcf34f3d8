// The stand-in follows the XDG base directories: local data in $LOCALAPPDATA (named as on
// Windows) or else $XDG_DATA_HOME (~/.local/share), roaming data in $XDG_CONFIG_HOME
// (~/.config), the desktop in $XDG_DESKTOP_DIR (~/Desktop) and common data in the first
// entry of $XDG_DATA_DIRS (/usr/local/share). Every folder can thus be redirected, which keeps tests out of the
// real home folder. Relative values are ignored, as the XDG rules ask.
#include "platform/special_folder.h"

#include <cstdlib>
#include <string_view>

namespace plugkit::platform {
namespace {

bool IsAbsolute(std::string_view path) { return !path.empty() && path.front() == '/'; }

std::string WithoutTrailingSeparators(std::string path) {
  while (path.size() > 1 && path.back() == '/') path.pop_back();
  return path;
}

// The variable's value when it is an absolute path; "" otherwise.
std::string AbsoluteEnvironmentPath(const char* name) {
  const char* value = std::getenv(name);
  if (value == nullptr || !IsAbsolute(value)) return {};
  return WithoutTrailingSeparators(value);
}

std::string UnderHome(const char* variable, const char* homeRelative) {
  std::string path = AbsoluteEnvironmentPath(variable);
  if (!path.empty()) return path;
  std::string home = AbsoluteEnvironmentPath("HOME");
  if (home.empty()) return {};
  if (home != "/") home += '/';
  return home + homeRelative;
}

std::string FirstCommonDataFolder() {
  const char* list = std::getenv("XDG_DATA_DIRS");
  if (list != nullptr) {
    std::string_view entries(list);
    std::string_view first = entries.substr(0, entries.find(':'));
    if (IsAbsolute(first)) return WithoutTrailingSeparators(std::string(first));
  }
  return "/usr/local/share";
}

}  // namespace

std::string SpecialFolderPath(SpecialFolder folder) noexcept {
  try {
    switch (folder) {
      case SpecialFolder::Desktop:
        return UnderHome("XDG_DESKTOP_DIR", "Desktop");
      case SpecialFolder::RoamingAppData:
        return UnderHome("XDG_CONFIG_HOME", ".config");
      case SpecialFolder::LocalAppData: {
        std::string local = AbsoluteEnvironmentPath("LOCALAPPDATA");
        return !local.empty() ? local : UnderHome("XDG_DATA_HOME", ".local/share");
      }
      case SpecialFolder::CommonAppData:
        return FirstCommonDataFolder();
    }
  } catch (...) {
  }
  return {};
}

}  // namespace plugkit::platform
