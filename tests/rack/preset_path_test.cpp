// The path rules for preset texts from the page, with Windows semantics on every build, and
// the cleaning of typed names.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "rack/preset_path.h"

namespace {

using tarnwell::ValidatePresetPath;

struct PathCase {
  std::string text;
  bool user;   // accepted as a user preset path
  bool cloud;  // accepted as a cloud preset path
};

TEST(PresetPath, AcceptedOnlyAsRelativeJsonFilesOfTheirKind) {
  using namespace std::string_literals;
  const PathCase cases[] = {
      {"Vocals/Lead.json", true, false},
      {"Vocals\\Lead.json", true, false},
      {"Cloud/Pack/A.json", false, true},
      {"Cloud\\Pack\\A.json", false, true},
      {"cloud/A.json", true, false},  // the textual rule is exact; the disk check folds case
      {"Cloudy/A.json", true, false},
      {"a//b.json", true, false},
      {"A..json", true, false},
      {"\xE4\xBA\xBA\xE5\xA3\xB0/\xE8\xB4\xB4\xE8\x84\xB8.json", true, false},  // CJK names
      {"A.JSON", false, false},
      {"A.Json", false, false},
      {"A", false, false},
      {"Cloud", false, false},
      {".json", false, false},
      {"A.json/", false, false},
      {"A.json\\", false, false},
      {"", false, false},
      {"a/./b.json", false, false},
      {"a/../b.json", false, false},
      {"../b.json", false, false},
      {"C:/a.json", false, false},
      {"c:\\a.json", false, false},
      {"C:a.json", false, false},
      {"/a.json", false, false},
      {"\\a.json", false, false},
      {"//server/share/a.json", false, false},
      {"\\\\?\\C:\\a.json", false, false},
      {"\\\\.\\COM1", false, false},
      {"a:b.json", false, false},
      {"a.json:stream", false, false},
      {"CON.json", false, false},
      {"nul.json", false, false},
      {"Vocals/Com1.json", false, false},
      {"LPT9.json", false, false},
      {"aux .json", false, false},
      {"CONOUT$.json", false, false},
      {"COM\xC2\xB9.json", false, false},
      {"AUX/A.json", false, false},
      {"COM10.json", true, false},
      {"CONSOLE.json", true, false},
      {"x.json\0"s, false, false},
      {"My\0P.json"s, false, false},
      {"\xFF.json", false, false},
      {"\xC0\xAF.json", false, false},  // an overlong "/"
  };
  for (const PathCase& c : cases) {
    EXPECT_EQ(ValidatePresetPath(c.text, false).has_value(), c.user) << c.text;
    EXPECT_EQ(ValidatePresetPath(c.text, true).has_value(), c.cloud) << c.text;
  }
}

TEST(PresetPath, ElementsSplitAtEitherSeparator) {
  const auto elements = ValidatePresetPath("Cloud\\Pack//A.json", true);
  ASSERT_TRUE(elements.has_value());
  EXPECT_EQ(*elements, (std::vector<std::string>{"Cloud", "Pack", "A.json"}));
}

TEST(PresetPath, CloudTextNeedsTheForwardSlash) {
  for (const auto& [text, cloud] : std::vector<std::pair<std::string, bool>>{{"Cloud", true},
                                                                             {"Cloud/A.json", true},
                                                                             {"Cloud\\A.json", false},
                                                                             {"cloud/A.json", false},
                                                                             {"Cloudy/A.json", false},
                                                                             {"Clou", false}})
    EXPECT_EQ(tarnwell::IsCloudText(text), cloud) << text;
}

TEST(PresetPath, SanitizedNamesLoseWhatFileNamesCannotHold) {
  using namespace std::string_literals;
  const std::pair<std::string, std::string> cases[] = {
      {" ..My:Preset?. ", "My-Preset-."},
      {"a/b", "a-b"},
      {"a\\b", "a-b"},
      {"*\"<>|", "-----"},
      {". . .", ""},
      {"", ""},
      {"My\0P"s, "My-P"},
      {"x.json\0"s, "x.json-"},
      {" \xE8\xB4\xB4\xE8\x84\xB8 ", "\xE8\xB4\xB4\xE8\x84\xB8"},
      {"\ttab", "\ttab"},
  };
  for (const auto& [text, clean] : cases) EXPECT_EQ(tarnwell::SanitizePresetName(text), clean) << text;
}

TEST(PresetPath, RootNamesOfDrivesAndShares) {
  EXPECT_EQ(tarnwell::RootNameOf("C:\\Users\\a"), "C:");
  EXPECT_EQ(tarnwell::RootNameOf("\\\\server\\share\\Tarnwell"), "\\\\server\\share");
  EXPECT_EQ(tarnwell::RootNameOf("/home/a"), "");
}

}  // namespace
