#include "framework/vst3/midi_events.h"

#include <algorithm>
#include <cmath>

#include "framework/vst3/ids.h"
#include "pluginterfaces/vst/ivstmidicontrollers.h"

namespace plugkit {

using namespace Steinberg;
using namespace Steinberg::Vst;

namespace {

constexpr int32_t kMidiChannels = 16;

double Unit(double value) {
  if (!(value >= 0.0)) return 0.0;
  return std::min(value, 1.0);
}

uint8_t Scale127(double value) { return static_cast<uint8_t>(Unit(value) * 127.0); }

uint8_t StatusWithChannel(uint8_t status, int32_t channel) { return static_cast<uint8_t>(status | (channel & 0x0F)); }

}  // namespace

bool MidiFromControllerParam(uint32_t id, double value, int32_t sampleOffset, MidiMessage& out) noexcept {
  if (id < kMidiControllerParamBase) return false;
  const uint32_t index = id - kMidiControllerParamBase;
  const int32_t channel = static_cast<int32_t>(index / kMidiControllersPerChannel);
  const int32_t controller = static_cast<int32_t>(index % kMidiControllersPerChannel);
  if (channel >= kMidiChannels) return false;
  value = Unit(value);
  out = MidiMessage{};
  out.offset = sampleOffset;
  if (controller == kMidiChannelAftertouch) {
    out.status = StatusWithChannel(0xD0, channel);
    out.data1 = Scale127(value);
  } else if (controller == kMidiPitchBend) {
    const int32_t bend = std::clamp(8192 - static_cast<int32_t>((2.0 * value - 1.0) * -8192.0), 0, 16383);
    out.status = StatusWithChannel(0xE0, channel);
    out.data1 = static_cast<uint8_t>(bend & 0x7F);
    out.data2 = static_cast<uint8_t>(bend >> 7);
  } else {
    out.status = StatusWithChannel(0xB0, channel);
    out.data1 = static_cast<uint8_t>(controller);
    out.data2 = Scale127(value);
  }
  return true;
}

bool MidiFromEvent(const Event& event, MidiMessage& out) noexcept {
  out = MidiMessage{};
  out.offset = event.sampleOffset;
  switch (event.type) {
    case Event::kNoteOnEvent:
      out.status = StatusWithChannel(0x90, event.noteOn.channel);
      out.data1 = static_cast<uint8_t>(event.noteOn.pitch & 0x7F);
      out.data2 = Scale127(event.noteOn.velocity);
      return true;
    case Event::kNoteOffEvent:
      out.status = StatusWithChannel(0x80, event.noteOff.channel);
      out.data1 = static_cast<uint8_t>(event.noteOff.pitch & 0x7F);
      return true;
    case Event::kPolyPressureEvent:
      out.status = StatusWithChannel(0xA0, event.polyPressure.channel);
      out.data1 = static_cast<uint8_t>(event.polyPressure.pitch & 0x7F);
      out.data2 = Scale127(event.polyPressure.pressure);
      return true;
    default:
      return false;
  }
}

bool EventFromMidi(const MidiMessage& message, Event& out) noexcept {
  out = Event{};
  out.busIndex = 0;
  out.sampleOffset = message.offset;
  const int16 channel = message.status & 0x0F;
  auto legacy = [&](uint8 controller, uint8_t value, uint8_t value2) {
    out.type = Event::kLegacyMIDICCOutEvent;
    out.midiCCOut.controlNumber = controller;
    out.midiCCOut.channel = static_cast<int8>(channel);
    out.midiCCOut.value = static_cast<int8>(value);
    out.midiCCOut.value2 = static_cast<int8>(value2);
  };
  // Note-on and note-off events carry the same fields in different layouts.
  auto note = [&](auto& fields, uint16 type) {
    out.type = type;
    fields.channel = channel;
    fields.pitch = message.data1;
    fields.velocity = message.data2 * (1.0f / 127.0f);
    fields.noteId = -1;
  };
  switch (message.status & 0xF0) {
    case 0x90:
      note(out.noteOn, Event::kNoteOnEvent);
      return true;
    case 0x80:
      note(out.noteOff, Event::kNoteOffEvent);
      return true;
    case 0xA0:
      legacy(kCtrlPolyPressure, message.data1, message.data2);
      return true;
    case 0xB0:
      legacy(message.data1, message.data2, 0);
      return true;
    case 0xC0:
      legacy(kCtrlProgramChange, message.data1, 0);
      return true;
    case 0xD0:
      legacy(kAfterTouch, message.data1, message.data2);
      return true;
    case 0xE0:
      // The raw 14-bit bend, least significant seven bits first.
      legacy(kPitchBend, message.data1, message.data2);
      return true;
    default:
      return false;
  }
}

Event EventFromSysEx(const SysExRecord& record) noexcept {
  const SysExMessage view = ViewOfSysExRecord(record);
  Event event{};
  event.busIndex = 0;
  event.sampleOffset = view.offset;
  event.type = Event::kDataEvent;
  event.data.type = DataEvent::kMidiSysEx;
  event.data.size = static_cast<uint32>(view.size);
  event.data.bytes = view.data;
  return event;
}

}  // namespace plugkit
