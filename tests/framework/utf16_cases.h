// UTF-16 texts and the UTF-8 they convert to, with the ill-formed cases: an unpaired
// surrogate becomes U+FFFD (EF BF BD), as the Windows conversion does.
#pragma once

#include <string_view>

namespace plugkit::testing {

struct Utf16Case {
  const char* what;
  std::u16string_view utf16;
  std::string_view utf8;
};

inline constexpr Utf16Case kUtf16Cases[] = {
    {"empty", u"", ""},
    {"ASCII", u"C:\\Users\\x", "C:\\Users\\x"},
    {"two-byte", u"J\u00fcrgen", "J\xC3\xBCrgen"},
    {"three-byte", u"\u20ac\u97f3", "\xE2\x82\xAC\xE9\x9F\xB3"},
    {"surrogate pair", u"\xD83D\xDE00", "\xF0\x9F\x98\x80"},
    {"lone high surrogate", u"a\xD800", "a\xEF\xBF\xBD"},
    {"lone low surrogate", u"\xDC00z", "\xEF\xBF\xBDz"},
    {"high before a letter",
     u"\xD800"
     u"A",
     "\xEF\xBF\xBD"
     "A"},
    {"pair in the wrong order", u"\xDC00\xD800", "\xEF\xBF\xBD\xEF\xBF\xBD"},
};

}  // namespace plugkit::testing
