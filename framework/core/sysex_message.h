// SysEx as the hooks see it (a view of bytes owned elsewhere) and as the rings carry it
// (a fixed-size copy, so that crossing threads never allocates).
#pragma once

#include <cstdint>

namespace plugkit {

struct SysExMessage {
  int32_t offset = 0;
  int32_t size = 0;
  const uint8_t* data = nullptr;  // not owned; valid for the duration of the call
};

struct SysExRecord {
  static constexpr int32_t kMaxSize = 512;
  int32_t offset = 0;
  int32_t size = 0;
  uint8_t data[kMaxSize] = {};
};
static_assert(sizeof(SysExRecord) == 520);

// Copies message into record. A message longer than kMaxSize, a negative size or missing
// bytes does not fit: false, record unchanged.
bool MakeSysExRecord(const SysExMessage& message, SysExRecord& record) noexcept;

// A view of the record's bytes; a size field outside 0..kMaxSize (a record never written by
// MakeSysExRecord) is limited to that range.
SysExMessage ViewOfSysExRecord(const SysExRecord& record) noexcept;

}  // namespace plugkit
