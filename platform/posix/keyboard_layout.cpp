// The US layout's answers, as the Windows call gives them for that layout.
#include "platform/keyboard_layout.h"

namespace plugkit::platform {
namespace {

constexpr int32_t kShift = 0x100;

struct KeyOf {
  char character;
  int32_t key;
};

// Shifted digits and the punctuation keys (OEM codes 0xBA-0xC0 and 0xDB-0xDE).
constexpr KeyOf kSymbols[] = {
    {')', kShift | 0x30}, {'!', kShift | 0x31}, {'@', kShift | 0x32}, {'#', kShift | 0x33}, {'$', kShift | 0x34},
    {'%', kShift | 0x35}, {'^', kShift | 0x36}, {'&', kShift | 0x37}, {'*', kShift | 0x38}, {'(', kShift | 0x39},
    {';', 0xBA},          {':', kShift | 0xBA}, {'=', 0xBB},          {'+', kShift | 0xBB}, {',', 0xBC},
    {'<', kShift | 0xBC}, {'-', 0xBD},          {'_', kShift | 0xBD}, {'.', 0xBE},          {'>', kShift | 0xBE},
    {'/', 0xBF},          {'?', kShift | 0xBF}, {'`', 0xC0},          {'~', kShift | 0xC0}, {'[', 0xDB},
    {'{', kShift | 0xDB}, {'\\', 0xDC},         {'|', kShift | 0xDC}, {']', 0xDD},          {'}', kShift | 0xDD},
    {'\'', 0xDE},         {'"', kShift | 0xDE}, {' ', 0x20},          {'\b', 0x08},         {'\t', 0x09},
    {'\r', 0x0D},         {'\x1B', 0x1B},
};

}  // namespace

int32_t VirtualKeyForCharacter(char character) noexcept {
  if (character >= 'a' && character <= 'z') return 'A' + (character - 'a');
  if (character >= 'A' && character <= 'Z') return kShift | character;
  if (character >= '0' && character <= '9') return character;
  for (const KeyOf& symbol : kSymbols)
    if (symbol.character == character) return symbol.key;
  return -1;
}

}  // namespace plugkit::platform
