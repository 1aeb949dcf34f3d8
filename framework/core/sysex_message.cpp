#include "framework/core/sysex_message.h"

#include <algorithm>
#include <cstring>

namespace plugkit {

bool MakeSysExRecord(const SysExMessage& message, SysExRecord& record) noexcept {
  if (message.size < 0 || message.size > SysExRecord::kMaxSize) return false;
  if (message.size > 0 && message.data == nullptr) return false;
  record.offset = message.offset;
  record.size = message.size;
  if (message.size > 0) std::memcpy(record.data, message.data, static_cast<size_t>(message.size));
  return true;
}

SysExMessage ViewOfSysExRecord(const SysExRecord& record) noexcept {
  return SysExMessage{record.offset, std::clamp(record.size, 0, SysExRecord::kMaxSize), record.data};
}

}  // namespace plugkit
