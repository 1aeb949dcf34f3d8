// MIDI between the framework's three-byte messages and what a VST 3 host passes: controller
// pseudo-parameter changes, note events in, note and controller events out.
#pragma once

#include <cstdint>

#include "framework/core/midi_message.h"
#include "framework/core/sysex_message.h"
#include "pluginterfaces/vst/ivstevents.h"

namespace plugkit {

// The message a change of a controller pseudo-parameter stands for: channel aftertouch,
// pitch bend or a control change, with the value limited to 0..1. False for ids outside
// channels 0..15.
bool MidiFromControllerParam(uint32_t id, double value, int32_t sampleOffset, MidiMessage& out) noexcept;

// Note-on, note-off and polyphonic pressure events as messages (channel and pitch masked to
// their bit widths, velocity and pressure limited to 0..1). False for other event types.
bool MidiFromEvent(const Steinberg::Vst::Event& event, MidiMessage& out) noexcept;

// A message as an output event on bus 0: notes as note events, everything else of channel
// voice messages as legacy controller events. False for system messages (0xF0 and above).
bool EventFromMidi(const MidiMessage& message, Steinberg::Vst::Event& out) noexcept;

// A SysEx data event over the record's bytes (valid while the record is).
Steinberg::Vst::Event EventFromSysEx(const SysExRecord& record) noexcept;

}  // namespace plugkit
