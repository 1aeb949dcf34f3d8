#pragma once

#include <pmmintrin.h>
#include <xmmintrin.h>

// Sets flush-to-zero and denormals-are-zero for its lifetime and restores the caller's mode after.
// Decaying envelopes and filter states otherwise sink into subnormal numbers in silence, which
// multiplies the cost of every operation on them.
class ScopedFlushDenormals {
public:
    ScopedFlushDenormals() : savedControl_(_mm_getcsr()) {
        _MM_SET_FLUSH_ZERO_MODE(_MM_FLUSH_ZERO_ON);
        _MM_SET_DENORMALS_ZERO_MODE(_MM_DENORMALS_ZERO_ON);
    }
    ~ScopedFlushDenormals() { _mm_setcsr(savedControl_); }

    ScopedFlushDenormals(const ScopedFlushDenormals&) = delete;
    ScopedFlushDenormals& operator=(const ScopedFlushDenormals&) = delete;

private:
    unsigned int savedControl_;
};
