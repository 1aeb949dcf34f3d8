// UTF-16 texts of the VST 3 structures as std::string, for readable expectations.
#pragma once

#include <string>

#include "pluginterfaces/base/ftypes.h"

namespace plugkit::test {

inline std::string Narrow(const Steinberg::char16* text) {
  std::string out;
  for (int i = 0; text != nullptr && text[i] != 0 && i < 128; ++i) out += static_cast<char>(text[i]);
  return out;
}

inline std::u16string Wide(const char* text) {
  std::u16string out;
  for (; *text != 0; ++text) out += static_cast<char16_t>(static_cast<unsigned char>(*text));
  return out;
}

}  // namespace plugkit::test
