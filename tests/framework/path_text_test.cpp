// The path rules with both separators, whatever the build: the Windows layout is checked on
// Linux too, and the other way round.
#include "framework/core/path_text.h"

#include <gtest/gtest.h>

#include <string>

#include "framework/core/failing_realloc.h"

namespace plugkit {
namespace {

std::string FolderOf(const char* path, char separator) {
  GrowString out("stale");
  EXPECT_TRUE(FolderOfFilePath(path, separator, out));
  return out.Get();
}

std::string ResourcesOf(const char* folder, int32_t archLength, char separator) {
  GrowString out("stale");
  EXPECT_TRUE(ResourceFolderOf(folder, archLength, separator, out));
  return out.Get();
}

TEST(PathText, FolderOfAFilePath) {
  EXPECT_EQ(FolderOf("C:\\Prog\\T.vst3\\Contents\\x86_64-win\\T.vst3", '\\'),
            "C:\\Prog\\T.vst3\\Contents\\x86_64-win\\");
  EXPECT_EQ(FolderOf("/opt/T.vst3/Contents/x86_64-linux/T.so", '/'), "/opt/T.vst3/Contents/x86_64-linux/");
  EXPECT_EQ(FolderOf("T.vst3", '\\'), "");      // no separator
  EXPECT_EQ(FolderOf("C:\\Prog\\", '\\'), "");  // a folder, not a file
  EXPECT_EQ(FolderOf("/opt/T.so", '\\'), "");   // the other platform's separator does not count
  EXPECT_EQ(FolderOf(nullptr, '/'), "");
  EXPECT_EQ(FolderOf("C:\\J\xC3\xBCrgen\\T.vst3", '\\'), "C:\\J\xC3\xBCrgen\\");
}

TEST(PathText, ResourceFolderReplacesTheArchitectureFolder) {
  EXPECT_EQ(ResourcesOf("C:\\Prog\\T.vst3\\Contents\\x86_64-win\\", 10, '\\'),
            "C:\\Prog\\T.vst3\\Contents\\Resources\\");
  EXPECT_EQ(ResourcesOf("/opt/T.vst3/Contents/x86_64-linux/", 12, '/'), "/opt/T.vst3/Contents/Resources/");
  // The last characters are removed unchecked; too short a folder leaves "Resources" alone.
  EXPECT_EQ(ResourcesOf("C:\\Prog\\any-folder\\", 10, '\\'), "C:\\Prog\\Resources\\");
  EXPECT_EQ(ResourcesOf("x86_64-win\\", 10, '\\'), "Resources\\");
  EXPECT_EQ(ResourcesOf("C:\\a\\", 10, '\\'), "Resources\\");
  EXPECT_EQ(ResourcesOf("", 10, '\\'), "Resources\\");
}

TEST(PathText, WebViewCacheFolderNeedsARoamingFolder) {
  GrowString out("stale");
  EXPECT_TRUE(WebViewCacheFolderOf("C:\\Users\\u\\AppData\\Roaming", '\\', out));
  EXPECT_STREQ(out.Get(), "C:\\Users\\u\\AppData\\Roaming\\Tarnwell\\WebViewCache");
  EXPECT_TRUE(WebViewCacheFolderOf("/home/u/.config", '/', out));
  EXPECT_STREQ(out.Get(), "/home/u/.config/Tarnwell/WebViewCache");
  // A failed folder query must not become a folder in the root of the current drive.
  EXPECT_TRUE(WebViewCacheFolderOf("", '\\', out));
  EXPECT_STREQ(out.Get(), "");
  EXPECT_TRUE(WebViewCacheFolderOf(nullptr, '\\', out));
  EXPECT_STREQ(out.Get(), "");
}

TEST(PathText, OutOfMemoryLeavesNoHalfPath) {
  GrowString out;
  testing::FailingRealloc noMemory;
  EXPECT_FALSE(WebViewCacheFolderOf("C:\\Users\\u\\AppData\\Roaming", '\\', out));
  EXPECT_STREQ(out.Get(), "");
  EXPECT_FALSE(ResourceFolderOf("C:\\Prog\\T.vst3\\Contents\\x86_64-win\\", 10, '\\', out));
  EXPECT_STREQ(out.Get(), "");
}

}  // namespace
}  // namespace plugkit
