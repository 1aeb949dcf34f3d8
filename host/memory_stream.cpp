#include "host/memory_stream.h"

#include <algorithm>
#include <cstring>

namespace tarnwell::host {

using namespace Steinberg;

tresult PLUGIN_API MemoryStream::read(void* buffer, int32 numBytes, int32* numBytesRead) {
  if (numBytesRead) *numBytesRead = 0;
  if (buffer == nullptr) return kInvalidArgument;
  int64 available = std::max<int64>(0, static_cast<int64>(data_.size()) - position_);
  int32 n = static_cast<int32>(std::clamp<int64>(numBytes, 0, available));
  if (n > 0) std::memcpy(buffer, data_.data() + position_, static_cast<size_t>(n));
  position_ += n;
  if (numBytesRead) *numBytesRead = n;
  return readsReportFailure ? kResultFalse : kResultOk;
}

tresult PLUGIN_API MemoryStream::write(void* buffer, int32 numBytes, int32* numBytesWritten) {
  if (numBytesWritten) *numBytesWritten = 0;
  if (writesFail || numBytes < 0 || buffer == nullptr) return kResultFalse;
  int64 n = numBytes;
  if (writeLimit >= 0) n = std::clamp<int64>(writeLimit - position_, 0, n);
  if (position_ + n > static_cast<int64>(data_.size())) data_.resize(static_cast<size_t>(position_ + n));
  if (n > 0) std::memcpy(data_.data() + position_, buffer, static_cast<size_t>(n));
  position_ += n;
  if (numBytesWritten) *numBytesWritten = static_cast<int32>(n);
  return n == numBytes ? kResultOk : kResultFalse;
}

tresult PLUGIN_API MemoryStream::seek(int64 pos, int32 mode, int64* result) {
  int64 base = 0;
  if (mode == kIBSeekCur)
    base = position_;
  else if (mode == kIBSeekEnd)
    base = static_cast<int64>(data_.size());
  else if (mode != kIBSeekSet)
    return kInvalidArgument;
  int64 target = base + pos;
  if (target < 0 && !seekClampsNegative) return kInvalidArgument;
  if (target < 0) target = 0;
  position_ = target;
  if (result) *result = position_;
  return kResultOk;
}

tresult PLUGIN_API MemoryStream::tell(int64* pos) {
  if (pos == nullptr) return kInvalidArgument;
  *pos = position_;
  return kResultOk;
}

tresult PLUGIN_API MemoryStream::queryInterface(const TUID iid, void** obj) {
  QUERY_INTERFACE(iid, obj, FUnknown::iid, IBStream)
  QUERY_INTERFACE(iid, obj, IBStream::iid, IBStream)
  *obj = nullptr;
  return kNoInterface;
}

}  // namespace tarnwell::host
