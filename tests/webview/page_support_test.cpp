// Base64 of the payloads, the page key table and the UTF-8 to UTF-16 conversion.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "webview/base64.h"
#include "webview/page_keys.h"
#include "webview/utf16_convert.h"

namespace {

TEST(Base64, EncodesWholeAndPartialGroups) {
  struct Case {
    std::string bytes;
    const char* text;
  };
  const Case cases[] = {{"", ""},
                        {"A", "QQ=="},
                        {"AB", "QUI="},
                        {"ABC", "QUJD"},
                        {"ABCD", "QUJDRA=="},
                        {std::string("\xff\xfe\x00", 3), "//4A"},
                        {"Man is", "TWFuIGlz"}};
  for (const Case& c : cases) {
    const auto* data = reinterpret_cast<const uint8_t*>(c.bytes.data());
    const auto n = static_cast<int64_t>(c.bytes.size());
    std::vector<char> buffer(static_cast<size_t>(plugkit::Base64BufferSize(n)), '#');
    plugkit::Base64Encode(data, n, buffer.data());
    EXPECT_STREQ(buffer.data(), c.text) << "buffer of exactly " << buffer.size();
    const auto decoded = plugkit::DecodePagePayload(c.text);
    ASSERT_TRUE(decoded.has_value());
    EXPECT_EQ(std::string(decoded->begin(), decoded->end()), c.bytes);
  }
}

TEST(Base64, PaddingRulesOfPagePayloads) {
  EXPECT_EQ(plugkit::DecodePagePayload("QUJD")->size(), 3u);
  EXPECT_EQ(plugkit::DecodePagePayload("QUI=")->size(), 2u);
  EXPECT_EQ(plugkit::DecodePagePayload("QQ==")->size(), 1u);
  EXPECT_EQ(plugkit::DecodePagePayload("QQ=x")->size(), 1u);  // "=" second to last pads two
  EXPECT_FALSE(plugkit::DecodePagePayload("=").has_value());
  EXPECT_FALSE(plugkit::DecodePagePayload("=Q").has_value());
  EXPECT_EQ(plugkit::DecodePagePayload(std::string(9, 'A'))->size(), 6u);
}

TEST(PageKeys, BrowserKeyCodesToFrameworkCodes) {
  struct Case {
    int32_t keyCode;
    int32_t vk;
  };
  const Case cases[] = {{8, 8},     {9, 9},     {13, 13}, {16, 16}, {20, 20}, {27, 27}, {32, 32}, {40, 40},
                        {45, 45},   {46, 46},   {48, 48}, {57, 57}, {65, 65}, {90, 90}, {96, 48}, {105, 57},
                        {112, 112}, {123, 123}, {7, 0},   {10, 0},  {21, 0},  {41, 0},  {47, 0},  {58, 0},
                        {91, 0},    {106, 0},   {124, 0}, {186, 0}, {-1, 0}};
  for (const Case& c : cases) EXPECT_EQ(plugkit::VirtualKeyFromPageKeyCode(c.keyCode), c.vk) << c.keyCode;
}

TEST(PageKeys, OnlyASingleCodePointIsKeptAsText) {
  EXPECT_STREQ(plugkit::KeyFromPageEvent(65, "a", false, false, false).utf8, "a");
  EXPECT_STREQ(plugkit::KeyFromPageEvent(0, "\xe2\x82\xac", false, false, false).utf8, "\xe2\x82\xac");
  EXPECT_STREQ(plugkit::KeyFromPageEvent(16, "Shift", true, false, false).utf8, "");
  EXPECT_STREQ(plugkit::KeyFromPageEvent(0, "ab", false, false, false).utf8, "");
  EXPECT_STREQ(plugkit::KeyFromPageEvent(0, "\xe2\x82", false, false, false).utf8, "");  // cut sequence
  EXPECT_STREQ(plugkit::KeyFromPageEvent(0, nullptr, false, false, false).utf8, "");
  const plugkit::KeyEvent key = plugkit::KeyFromPageEvent(16, "Shift", true, true, true);
  EXPECT_TRUE(key.S && key.C && key.A);
}

TEST(Utf16Convert, ConvertsAndSizesLikeThePlatform) {
  EXPECT_EQ(plugkit::webview::Utf8ToUtf16("a\xc3\xa9\xe2\x82\xac\xf0\x9f\x98\x80"), u"a\u00e9\u20ac\U0001F600");
  EXPECT_EQ(plugkit::webview::WideLengthOfUtf8("a\xf0\x9f\x98\x80"), 4);
  EXPECT_EQ(plugkit::webview::WideLengthOfUtf8(nullptr), 1);
  const std::u16string invalid = plugkit::webview::Utf8ToUtf16(
      "a\xff"
      "b\xed\xa0\x80");
  EXPECT_EQ(invalid.substr(0, 3), u"a\uFFFDb");
  EXPECT_EQ(invalid.find_first_not_of(u"ab\uFFFD"), std::u16string::npos);

  char16_t buffer[4];
  EXPECT_EQ(plugkit::webview::Utf8ToWide(buffer, "abc", 4), 4);
  EXPECT_EQ(std::u16string(buffer), u"abc");
  EXPECT_EQ(plugkit::webview::Utf8ToWide(buffer, "abcd", 4), 0);
  EXPECT_EQ(buffer[0], u'\0');
}

}  // namespace
