// The MIDI a plug-in emits during a block, kept in sample-offset order until the processing
// glue hands it to the host. Capacity follows the largest block, in steps of 512 entries,
// so a block normally fits without growing; growing (the one allocation allowed on the
// audio thread) happens only when a block emits more.
#pragma once

#include <cstdint>

#include "framework/core/grow_buffer.h"
#include "framework/core/midi_message.h"

namespace plugkit {

class MidiOutputList {
 public:
  static constexpr int32_t kStep = 512;

  MidiOutputList() noexcept;

  // Set-up: drops what was consumed, sets the growth step to maxBlock rounded up to a
  // multiple of 512 (at least 512) and the capacity to that step, or to the pending
  // entries rounded up when more are pending. Keeps the old storage when memory ran out.
  void Prepare(int32_t maxBlock) noexcept;

  // Inserts after every entry whose offset is not above the message's, so equal offsets keep
  // their emission order. When full: compacts, else grows by one step; a failed growth drops
  // the message.
  void Insert(const MidiMessage& message) noexcept;

  // Entries not yet handed out, in order.
  int32_t Pending() const noexcept { return count_ - read_; }
  const MidiMessage& PendingAt(int32_t i) const noexcept { return Entries()[read_ + i]; }
  // Marks the first n pending entries as handed out.
  void Consume(int32_t n) noexcept;
  // Moves every pending entry's offset back by frames (they belong to a later block).
  void ShiftOffsets(int32_t frames) noexcept;
  // Drops the handed-out entries, moving the pending ones to the front.
  void Compact() noexcept;

  int32_t Capacity() const noexcept { return capacity_; }
  int32_t Granularity() const noexcept { return granularity_; }

 private:
  MidiMessage* Entries() noexcept { return storage_.DataAs<MidiMessage>(); }
  const MidiMessage* Entries() const noexcept { return storage_.DataAs<MidiMessage>(); }
  bool SetCapacity(int32_t capacity) noexcept;

  GrowBuffer storage_{GrowBuffer::kListGranularity};
  int32_t capacity_ = 0;
  int32_t granularity_ = kStep;
  int32_t read_ = 0;
  int32_t count_ = 0;
};

}  // namespace plugkit
