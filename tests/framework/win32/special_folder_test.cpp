// The special folders under Wine, checked against the environment the platform sets up
// for the same folders.
#include <gtest/gtest.h>

#include <cstdlib>
#include <string>

#include "framework/core/folder_paths.h"

namespace plugkit {
namespace {

std::string Environment(const char* name) {
  const char* value = std::getenv(name);
  return value != nullptr ? value : "";
}

TEST(SpecialFolders, MatchTheEnvironmentOfTheSession) {
  GrowString folder;
  ASSERT_TRUE(AppDataFolder(folder, false));
  EXPECT_EQ(folder.Get(), Environment("LOCALAPPDATA"));
  ASSERT_TRUE(AppDataFolder(folder, true));
  EXPECT_EQ(folder.Get(), Environment("ProgramData"));
  ASSERT_TRUE(DesktopFolder(folder));
  EXPECT_EQ(folder.Get(), Environment("USERPROFILE") + "\\Desktop");
  ASSERT_TRUE(WebViewCacheFolder(folder));
  EXPECT_EQ(folder.Get(), Environment("APPDATA") + "\\Tarnwell\\WebViewCache");
  EXPECT_FALSE(Environment("APPDATA").empty());
}

}  // namespace
}  // namespace plugkit
