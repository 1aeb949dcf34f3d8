// Flush-to-zero and denormals-are-zero for the audio thread: set for the lifetime of the
// guard (one process call) and the caller's mode restored after, since hosts share the
// thread with other plug-ins.
#pragma once

#include <xmmintrin.h>

namespace plugkit {

class ScopedDenormalsOff {
 public:
  // MXCSR bit 15 flushes results to zero, bit 6 reads denormal inputs as zero.
  static constexpr unsigned int kFlushBits = 0x8000u | 0x0040u;

  ScopedDenormalsOff() noexcept : saved_(_mm_getcsr()) { _mm_setcsr(saved_ | kFlushBits); }
  ~ScopedDenormalsOff() { _mm_setcsr(saved_); }
  ScopedDenormalsOff(const ScopedDenormalsOff&) = delete;
  ScopedDenormalsOff& operator=(const ScopedDenormalsOff&) = delete;

 private:
  unsigned int saved_;
};

}  // namespace plugkit
