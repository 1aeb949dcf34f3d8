// Where the tempo link gets the shared tempo block and the clock its time stamps use. The
// plug-in uses the platform's named mapping; tests put a block of their own in its place.
#pragma once

#include <cstdint>
#include <memory>

#include "tempo/tempo_block.h"

namespace tarnwell {

class TempoBlockSource {
 public:
  virtual ~TempoBlockSource() = default;
  // A read-only view of the 40-byte block, or null when there is none. UI thread.
  virtual const unsigned char* Open() = 0;
  // Releases what Open returned.
  virtual void Close(const unsigned char* view) = 0;
  // The machine-wide monotonic clock the writer stamps the block with, in ms. Any thread,
  // no system call that may block.
  virtual int64_t NowMs() const noexcept = 0;
};

// The named mapping of this logon session that the tempo plug-in writes; tests give a name of
// their own.
std::unique_ptr<TempoBlockSource> MakeSharedTempoBlockSource(const char* name = kTempoBlockName);

}  // namespace tarnwell
