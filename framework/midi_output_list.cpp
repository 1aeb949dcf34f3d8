#include "framework/midi_output_list.h"

#include <algorithm>
#include <cstring>

namespace plugkit {
namespace {

int64_t RoundUpToStep(int64_t n) {
  return (n + MidiOutputList::kStep - 1) / MidiOutputList::kStep * MidiOutputList::kStep;
}

}  // namespace

MidiOutputList::MidiOutputList() noexcept { SetCapacity(kStep); }

bool MidiOutputList::SetCapacity(int32_t capacity) noexcept {
  const int64_t bytes = int64_t{capacity} * static_cast<int64_t>(sizeof(MidiMessage));
  if (bytes > INT32_MAX) return false;
  // The storage keeps its bytes when it grows or shrinks, as the pending entries need.
  storage_.Resize(static_cast<int32_t>(bytes), true);
  if (storage_.Size() != bytes) return false;
  capacity_ = capacity;
  return true;
}

void MidiOutputList::Compact() noexcept {
  if (read_ == 0) return;
  if (Pending() > 0) std::memmove(Entries(), Entries() + read_, sizeof(MidiMessage) * static_cast<size_t>(Pending()));
  count_ -= read_;
  read_ = 0;
}

void MidiOutputList::Prepare(int32_t maxBlock) noexcept {
  Compact();
  const int64_t step = std::clamp<int64_t>(RoundUpToStep(maxBlock), kStep, INT32_MAX / kStep * kStep);
  granularity_ = static_cast<int32_t>(step);
  const int64_t wanted = std::max<int64_t>(step, RoundUpToStep(count_));
  if (wanted != capacity_) SetCapacity(static_cast<int32_t>(std::min<int64_t>(wanted, INT32_MAX)));
}

void MidiOutputList::Insert(const MidiMessage& message) noexcept {
  if (count_ == capacity_) {
    if (read_ > 0) {
      Compact();
    } else {
      const int64_t grown = int64_t{capacity_} + granularity_ - capacity_ % granularity_;
      if (grown > INT32_MAX || !SetCapacity(static_cast<int32_t>(grown))) return;
    }
  }
  MidiMessage* entries = Entries();
  int32_t at = count_;
  while (at > read_ && message.offset < entries[at - 1].offset) --at;
  std::memmove(entries + at + 1, entries + at, sizeof(MidiMessage) * static_cast<size_t>(count_ - at));
  entries[at] = message;
  ++count_;
}

void MidiOutputList::Consume(int32_t n) noexcept { read_ = std::min(count_, read_ + std::max(n, 0)); }

void MidiOutputList::ShiftOffsets(int32_t frames) noexcept {
  for (int32_t i = read_; i < count_; ++i) Entries()[i].offset -= frames;
}

}  // namespace plugkit
