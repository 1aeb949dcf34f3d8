#include "platform/utf16_text.h"

#include <gtest/gtest.h>

#include <string>

#include "framework/core/folder_paths.h"
#include "utf16_cases.h"

namespace plugkit {
namespace {

TEST(Utf16Text, PortableConversion) {
  for (const testing::Utf16Case& c : testing::kUtf16Cases)
    EXPECT_EQ(platform::Utf16ToUtf8Portable(c.utf16), c.utf8) << c.what;
}

TEST(WideToUtf8, SizesTheStringToTheText) {
  GrowString out;
  ASSERT_TRUE(WideToUtf8(out, u"C:\\Users\\J\u00fcrgen"));
  EXPECT_STREQ(out.Get(), "C:\\Users\\J\xC3\xBCrgen");
  // Size = length + 1, so that an append lands right after the text and is kept.
  EXPECT_EQ(out.Buffer().Size(), static_cast<int32_t>(std::char_traits<char>::length(out.Get())) + 1);
  ASSERT_TRUE(out.Append("\\Tarnwell"));
  EXPECT_STREQ(out.Get(), "C:\\Users\\J\xC3\xBCrgen\\Tarnwell");
}

TEST(WideToUtf8, EmptyAndNullGiveEmptyText) {
  GrowString out("stale");
  EXPECT_TRUE(WideToUtf8(out, u""));
  EXPECT_STREQ(out.Get(), "");
  out.Set("stale");
  EXPECT_TRUE(WideToUtf8(out, nullptr));
  EXPECT_STREQ(out.Get(), "");
}

}  // namespace
}  // namespace plugkit
