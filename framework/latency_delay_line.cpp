#include "framework/latency_delay_line.h"

#include <algorithm>

namespace plugkit {

uint64_t LatencyDelayLine::Pack(uint32_t generation, int32_t length) noexcept {
  return (static_cast<uint64_t>(generation) << 32) | static_cast<uint32_t>(length);
}

bool LatencyDelayLine::Reserve(int32_t channels, int32_t maxLength) noexcept {
  channels = std::max(channels, 0);
  maxLength = std::max(maxLength, 0);
  const int64_t bytes = int64_t{channels} * maxLength * static_cast<int64_t>(sizeof(double));
  bool ok = bytes <= INT32_MAX;
  if (ok) {
    storage_.Resize(static_cast<int32_t>(bytes), true);
    ok = storage_.Size() == bytes;
  }
  if (!ok) storage_.FreeStorage();
  channels_ = ok ? channels : 0;
  maxLength_ = ok ? maxLength : 0;
  // Makes the next block adopt the current request against the new room.
  adoptedRequest_ = ~request_.load(std::memory_order_acquire);
  activeLength_ = 0;
  return ok;
}

void LatencyDelayLine::RequestLength(int32_t length) noexcept {
  uint64_t current = request_.load(std::memory_order_relaxed);
  while (!request_.compare_exchange_weak(current, Pack(static_cast<uint32_t>(current >> 32) + 1, length),
                                         std::memory_order_release, std::memory_order_relaxed)) {
  }
}

void LatencyDelayLine::AdoptRequest() noexcept {
  const uint64_t request = request_.load(std::memory_order_acquire);
  if (request == adoptedRequest_) return;
  adoptedRequest_ = request;
  const auto length = static_cast<int32_t>(static_cast<uint32_t>(request));
  activeLength_ = (length > 0 && length <= maxLength_ && channels_ > 0) ? length : 0;
  position_ = 0;
  if (activeLength_ > 0) std::fill_n(storage_.DataAs<double>(), int64_t{channels_} * activeLength_, 0.0);
}

void LatencyDelayLine::Process(const double* const* inputs, double* const* outputs, int32_t pairs,
                               int32_t frames) noexcept {
  double* line = storage_.DataAs<double>();
  const int32_t length = activeLength_;
  for (int32_t i = 0; i < frames; ++i) {
    for (int32_t j = 0; j < pairs; ++j) {
      double& slot = line[int64_t{j} * length + position_];
      const double input = inputs[j][i];  // read first: input and output may be one buffer
      outputs[j][i] = slot;
      slot = input;
    }
    if (++position_ == length) position_ = 0;
  }
}

}  // namespace plugkit
