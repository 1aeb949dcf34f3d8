// ComplexFft: an in-place complex FFT on interleaved 32-bit floats (re, im, re, ...) for every
// power-of-two size from 2 to 32768. The forward direction leaves its bins in a scrambled slot
// order and the inverse direction takes them in that order, so no bit-reversal pass is made;
// FftBinIndex says which slot holds a bin. Results are unscaled: forward then inverse
// multiplies the data by n.
//
// The twiddle and slot-order tables are process-wide, built once under a one-time guard (by
// BuildFftTables, or by the first transform when nobody called it), and only read afterwards,
// so transforms may run on any number of threads on distinct data.
#pragma once

#include <cstdint>

inline constexpr int32_t kMinFftSize = 2;
inline constexpr int32_t kMaxFftSize = 32768;

// True for the sizes ComplexFft transforms.
bool IsSupportedFftSize(int32_t n) noexcept;

// Builds every table; later calls return at once. Call it off the audio thread (the first build
// takes a fraction of a millisecond).
void BuildFftTables() noexcept;

// Forward (inverse == 0): X[k] = sum over m of x[m] e^(+2 pi i m k / n), bin P(i) in slot i.
// Inverse: takes the slot order, gives y[m] = sum over k of Y[k] e^(-2 pi i m k / n) in
// natural order. n = 2 is one butterfly either way. Any other n leaves the data unchanged.
// No allocation, no trigonometric call.
void ComplexFft(float* data, int32_t n, int32_t inverse) noexcept;

// The slot of a forward transform of size n that holds bin j of the ordinary
// negative-exponent DFT (that is, the slot of positive-exponent bin (n - j) mod n); 0 for j = 0.
// -1 for an unsupported n or a j outside 0..n-1.
int32_t FftBinIndex(int32_t n, int32_t j) noexcept;
