// The MIDI controller pseudo-parameters of plug-ins that take MIDI: how hosts name them
// and which parameter id stands for a controller on a channel.
#pragma once

#include <cstdint>

namespace plugkit {

// A controller's title: its conventional short name, or "Contr. <n>" for controllers
// without one. buffer holds the numbered titles; the result points at it or at a literal.
// Controllers outside 0..129 give "".
const char* MidiControllerTitle(int32_t controller, char (&buffer)[16]) noexcept;

// The pseudo-parameter of a controller (0..129) on event bus 0. Only channel 0 is exported,
// and the mapping answers for it whether or not the plug-in exported the parameters; false
// for any other bus, channel or controller number.
bool MidiControllerParamId(int32_t busIndex, int32_t channel, int32_t controller, uint32_t& id) noexcept;

}  // namespace plugkit
