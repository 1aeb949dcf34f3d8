// One short MIDI message with its sample offset in the block; crosses threads by copy.
#pragma once

#include <cstdint>

namespace plugkit {

struct MidiMessage {
  int32_t offset = 0;
  uint8_t status = 0;
  uint8_t data1 = 0;
  uint8_t data2 = 0;
};
static_assert(sizeof(MidiMessage) == 8);

}  // namespace plugkit
