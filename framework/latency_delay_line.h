// The delay that keeps a bypassed plug-in's output in time with its reported latency.
//
// The latency may change on the UI thread (page edits, state loads) or the audio thread
// (host automation) while blocks run, so the storage is reserved beforehand for the largest
// latency the plug-in reports and never reallocated while blocks may run. A new length is
// only requested; the audio thread adopts it at the start of its next block (clearing the
// line), so the buffer is never indexed with a length it was not prepared for.
#pragma once

#include <atomic>
#include <cstdint>

#include "framework/core/grow_buffer.h"

namespace plugkit {

class LatencyDelayLine {
 public:
  LatencyDelayLine() noexcept = default;
  LatencyDelayLine(const LatencyDelayLine&) = delete;
  LatencyDelayLine& operator=(const LatencyDelayLine&) = delete;

  // Reserves room for channels x maxLength samples. Only while no block runs (set-up): this
  // may allocate. False, with no room at all, when memory ran out; requested lengths then
  // fall back to the undelayed copy. The current request is adopted again (line cleared).
  bool Reserve(int32_t channels, int32_t maxLength) noexcept;

  // Any thread: asks for a delay of length samples from the next block on. A length
  // beyond the reserve, or a negative one, gives the undelayed copy.
  void RequestLength(int32_t length) noexcept;

  // Audio thread, at the start of a block: takes over a new request, clearing the line.
  void AdoptRequest() noexcept;

  // The delay in effect (0: undelayed copy). Audio thread.
  int32_t ActiveLength() const noexcept { return activeLength_; }
  int32_t Channels() const noexcept { return channels_; }
  int32_t MaxLength() const noexcept { return maxLength_; }

  // Audio thread: for channels 0 .. pairs - 1, output := input delayed by the active length
  // (in-place buffers allowed). Call only while ActiveLength() > 0 and pairs <= Channels().
  void Process(const double* const* inputs, double* const* outputs, int32_t pairs, int32_t frames) noexcept;

 private:
  // A request packs a generation (high half) with the length (low half) in one atomic
  // word, so a repeated request for the same length still clears the line.
  static uint64_t Pack(uint32_t generation, int32_t length) noexcept;

  GrowBuffer storage_{GrowBuffer::kListGranularity};
  int32_t channels_ = 0;
  int32_t maxLength_ = 0;
  std::atomic<uint64_t> request_{0};
  uint64_t adoptedRequest_ = 0;
  int32_t activeLength_ = 0;
  int32_t position_ = 0;
};

}  // namespace plugkit
