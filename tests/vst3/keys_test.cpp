// Keys from a VST 3 host: key codes to Windows virtual keys, characters to UTF-8, and the
// keyboard layout's answer for character keys.
#include "framework/vst3/keys.h"

#include <gtest/gtest.h>

#include <string>

#include "platform/keyboard_layout.h"

namespace plugkit {
namespace {

TEST(Vst3Keys, KeyCodesMapToWindowsVirtualKeys) {
  const struct {
    int32_t keyCode, vk;
  } cases[] = {{1, 8},    {2, 9},    {3, 12},   {4, 13},   {19, 13},  {5, 19},     {6, 27},   {7, 32},
               {8, 34},   {16, 34},  {9, 35},   {10, 36},  {11, 37},  {12, 38},    {13, 39},  {14, 40},
               {15, 33},  {17, 41},  {18, 42},  {20, 44},  {21, 45},  {22, 46},    {23, 47},  {24, 96},
               {33, 105}, {34, 106}, {39, 111}, {40, 112}, {51, 123}, {52, 144},   {53, 145}, {54, 16},
               {55, 17},  {56, 18},  {58, 0},   {127, 0},  {-1, 0},   {-32768, 0}, {128, 48}, {129, 49}};
  for (const auto& c : cases) EXPECT_EQ(VirtualKeyFromVst3(c.keyCode, 'x'), c.vk) << c.keyCode;
}

TEST(Vst3Keys, CharacterKeysAskTheKeyboardLayout) {
  const struct {
    int32_t keyCode;
    char character;
    int32_t vk;
  } cases[] = {{0, 'a', 0x41},  {0, 'z', 0x5A},  {0, 'A', 0x141},  {0, '1', 0x31}, {0, '!', 0x131},
               {0, ' ', 0x20},  {57, '=', 0xBB}, {0, '+', 0x1BB},  {0, '/', 0xBF}, {0, '[', 0xDB},
               {0, '"', 0x1DE}, {0, '\r', 0x0D}, {0, '\x1B', 0x1B}};
  for (const auto& c : cases) {
    EXPECT_EQ(VirtualKeyFromVst3(c.keyCode, c.character), c.vk) << c.character;
    EXPECT_EQ(platform::VirtualKeyForCharacter(c.character), c.vk) << c.character;
  }
}

TEST(Vst3Keys, EventCharacterComesFromTheKeyOrItsCode) {
  EXPECT_EQ(Vst3KeyCharacter(u'a', 0), u'a');
  EXPECT_EQ(Vst3KeyCharacter(u'a', 129), u'a');
  EXPECT_EQ(Vst3KeyCharacter(0, 129), u'1');
  EXPECT_EQ(Vst3KeyCharacter(0, 7), u' ');
  EXPECT_EQ(Vst3KeyCharacter(0, 1), 0);
  EXPECT_EQ(Vst3KeyCharacter(0, 0), 0);
}

TEST(Vst3Keys, OneUnitToUtf8) {
  const struct {
    char16_t unit;
    std::string utf8;
  } cases[] = {
      {u'a', "a"}, {0x00E9, "\xC3\xA9"}, {0x20AC, "\xE2\x82\xAC"}, {0xD800, "\xEF\xBF\xBD"}, {0xDFFF, "\xEF\xBF\xBD"},
      {0, ""}};
  for (const auto& c : cases) {
    char out[4] = {'?', '?', '?', '?'};
    EXPECT_EQ(Utf8OfUnit(c.unit, out), static_cast<int32_t>(c.utf8.size())) << int(c.unit);
    EXPECT_EQ(std::string(out), c.utf8) << int(c.unit);
  }
}

}  // namespace
}  // namespace plugkit
