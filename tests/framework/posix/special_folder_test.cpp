// The stand-in's folders come from the XDG variables and HOME, so each test sets its own
// and no test ever touches the real home folder.
#include <gtest/gtest.h>

#include <cstdlib>
#include <map>
#include <optional>
#include <ostream>
#include <string>

#include "framework/core/folder_paths.h"

namespace plugkit {
namespace {

constexpr const char* kVariables[] = {"HOME",          "XDG_DATA_HOME", "XDG_CONFIG_HOME", "XDG_DESKTOP_DIR",
                                      "XDG_DATA_DIRS", "LOCALAPPDATA"};

struct Folders {
  std::string local, common, desktop, cache;
  bool operator==(const Folders&) const = default;
};

void PrintTo(const Folders& f, std::ostream* os) {
  *os << "{local \"" << f.local << "\", common \"" << f.common << "\", desktop \"" << f.desktop << "\", cache \""
      << f.cache << "\"}";
}

// Values for HOME and the XDG variables, in the order of kVariables; null unsets.
struct EnvironmentCase {
  const char* what;
  const char* values[6];
  Folders expected;
};

class SpecialFolders : public ::testing::Test {
 protected:
  void SetUp() override {
    for (const char* name : kVariables) {
      const char* value = std::getenv(name);
      saved_[name] = value != nullptr ? std::optional<std::string>(value) : std::nullopt;
      unsetenv(name);
    }
  }
  void TearDown() override {
    for (const auto& [name, value] : saved_) Put(name.c_str(), value ? value->c_str() : nullptr);
  }

  static void Put(const char* name, const char* value) {
    if (value != nullptr)
      setenv(name, value, 1);
    else
      unsetenv(name);
  }

  static Folders Query() {
    GrowString local, common, desktop, cache;
    AppDataFolder(local, false);
    AppDataFolder(common, true);
    DesktopFolder(desktop);
    WebViewCacheFolder(cache);
    return {local.Get(), common.Get(), desktop.Get(), cache.Get()};
  }

  std::map<std::string, std::optional<std::string>> saved_;
};

TEST_F(SpecialFolders, FollowTheEnvironment) {
  const EnvironmentCase cases[] = {
      {"home only",
       {"/home/tester", nullptr, nullptr, nullptr, nullptr},
       {"/home/tester/.local/share", "/usr/local/share", "/home/tester/Desktop",
        "/home/tester/.config/Tarnwell/WebViewCache"}},
      {"every folder redirected (trailing separators dropped)",
       {"/home/tester", "/data/local/", "/data/roaming", "/data/J\xC3\xBCrgen's desk", "/data/common:/usr/share"},
       {"/data/local", "/data/common", "/data/J\xC3\xBCrgen's desk", "/data/roaming/Tarnwell/WebViewCache"}},
      {"relative or empty values ignored",
       {"/home/tester", "relative/data", "", "../desk", "relative:/usr/share"},
       {"/home/tester/.local/share", "/usr/local/share", "/home/tester/Desktop",
        "/home/tester/.config/Tarnwell/WebViewCache"}},
      {"local data named as on Windows",
       {"/home/tester", "/data/local", nullptr, nullptr, nullptr, "/win/local/"},
       {"/win/local", "/usr/local/share", "/home/tester/Desktop", "/home/tester/.config/Tarnwell/WebViewCache"}},
      {"relative local data as on Windows ignored",
       {"/home/tester", "/data/local", nullptr, nullptr, nullptr, "win/local"},
       {"/data/local", "/usr/local/share", "/home/tester/Desktop", "/home/tester/.config/Tarnwell/WebViewCache"}},
      // Never "/Tarnwell/WebViewCache" on a failed query.
      {"no home", {nullptr, nullptr, nullptr, nullptr, nullptr}, {"", "/usr/local/share", "", ""}},
      {"empty home", {"", nullptr, nullptr, nullptr, nullptr}, {"", "/usr/local/share", "", ""}},
      {"relative home", {"home/tester", nullptr, nullptr, nullptr, nullptr}, {"", "/usr/local/share", "", ""}},
      {"root as home",
       {"/", nullptr, nullptr, nullptr, nullptr},
       {"/.local/share", "/usr/local/share", "/Desktop", "/.config/Tarnwell/WebViewCache"}},
  };
  for (const EnvironmentCase& c : cases) {
    for (size_t i = 0; i < std::size(kVariables); ++i) Put(kVariables[i], c.values[i]);
    EXPECT_EQ(Query(), c.expected) << c.what;
  }
}

TEST_F(SpecialFolders, AVeryLongValueIsTakenWhole) {
  const std::string longFolder = "/" + std::string(20000, 'x');
  setenv("XDG_DATA_HOME", longFolder.c_str(), 1);
  EXPECT_EQ(Query().local, longFolder);
}

}  // namespace
}  // namespace plugkit
