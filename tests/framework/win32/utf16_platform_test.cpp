// The Windows conversion and the portable one give the same bytes, ill-formed text included.
#include <gtest/gtest.h>

#include "platform/utf16_text.h"
#include "utf16_cases.h"

namespace plugkit {
namespace {

TEST(Utf16Text, WindowsConversionMatchesThePortableOne) {
  for (const testing::Utf16Case& c : testing::kUtf16Cases) EXPECT_EQ(platform::Utf16ToUtf8(c.utf16), c.utf8) << c.what;
}

}  // namespace
}  // namespace plugkit
