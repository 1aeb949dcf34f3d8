// Under Wine the user's local application data folder is the prefix's AppData\Local.
#include <gtest/gtest.h>

#include <string>

#include "framework/core/folder_paths.h"

namespace {

TEST(LocalAppData, IsTheUsersAppDataLocalFolder) {
  plugkit::GrowString appData;
  ASSERT_TRUE(plugkit::AppDataFolder(appData, false));
  const std::string folder = appData.Get();
  EXPECT_TRUE(folder.ends_with("\\AppData\\Local")) << folder;
  EXPECT_EQ(folder.rfind("C:\\users\\", 0), 0u) << folder;
}

}  // namespace
