// The parameter and list ids a plug-in shows its VST 3 host, besides one id per parameter
// (its index).
#pragma once

#include <cstdint>

namespace plugkit {

inline constexpr uint32_t kBypassParamId = 0x10000;
// The program list (program names); no parameter has this id.
inline constexpr int32_t kProgramListId = 65537;
// MIDI controller pseudo-parameters: kMidiControllerParamBase + 130 x channel + controller,
// controller 0-127 a control change, 128 channel aftertouch, 129 pitch bend.
inline constexpr uint32_t kMidiControllerParamBase = 65538;
inline constexpr int32_t kMidiControllersPerChannel = 130;
inline constexpr int32_t kMidiChannelAftertouch = 128;
inline constexpr int32_t kMidiPitchBend = 129;

}  // namespace plugkit
