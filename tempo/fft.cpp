#include "tempo/fft.h"

#include <array>
#include <bit>
#include <cmath>
#include <numbers>

namespace {

struct Twiddle {
  float c;
  float s;
};

constexpr int32_t kLog2MaxSize = 15;
// Sizes up to 512 keep k = 1..n/4 - 1; larger ones keep k = 1..n/8 - 1 and mirror the rest.
constexpr int32_t kLargestFullTable = 512;
constexpr int32_t kTwiddleCount = 247 + 8058;
constexpr int32_t kOrderCount = 2 * kMaxFftSize - 2;  // one block of n entries for n = 2, 4, ...
constexpr float kSqrtHalf = 0.70710678118654752f;

struct Complex {
  float re;
  float im;
};

class FftTables {
 public:
  FftTables() {
    int32_t next = 0;
    for (int32_t log2n = 3; log2n <= kLog2MaxSize; ++log2n) {
      const int32_t n = 1 << log2n;
      const int32_t count = n <= kLargestFullTable ? n / 4 - 1 : n / 8 - 1;
      twiddleStart_[log2n] = next;
      for (int32_t k = 1; k <= count; ++k) {
        const double angle = 2.0 * std::numbers::pi * static_cast<double>(k) / static_cast<double>(n);
        twiddles_[static_cast<size_t>(next++)] = {static_cast<float>(std::cos(angle)),
                                                  static_cast<float>(std::sin(angle))};
      }
    }
    // Slot positions P(i, n) bottom-up from the halves and quarters, then each size's
    // bin-to-slot block from them.
    static std::array<uint32_t, kOrderCount> position;
    const auto positionOf = [](int32_t n, int32_t i) -> uint32_t {
      return n == 1 ? 0u : position[static_cast<size_t>(n - 2 + i)];
    };
    for (int32_t n = 2; n <= kMaxFftSize; n *= 2) {
      uint32_t* block = &position[static_cast<size_t>(n - 2)];
      const int32_t h = n / 2, q = n / 4;
      for (int32_t i = 0; i < n; ++i) {
        if (n == 2)
          block[i] = static_cast<uint32_t>(i);
        else if (i < h)
          block[i] = 2 * positionOf(h, i);
        else if (i - h < q)
          block[i] = 4 * positionOf(q, i - h) + 1;
        else
          block[i] = static_cast<uint32_t>(n - 1) & (4 * positionOf(q, i - h - q) - 1);
      }
      int32_t* order = &order_[static_cast<size_t>(n - 2)];
      order[0] = 0;
      for (int32_t i = 1; i < n; ++i) order[static_cast<uint32_t>(n) - block[i]] = i;
    }
  }

  // w^k = e^(2 pi i k / n) for 1 <= k < n / 4 and n >= 8.
  Twiddle At(int32_t log2n, int32_t n, int32_t k) const noexcept {
    const Twiddle* table = &twiddles_[static_cast<size_t>(twiddleStart_[log2n])];
    if (n <= kLargestFullTable || k < n / 8) return table[k - 1];
    if (k == n / 8) return {kSqrtHalf, kSqrtHalf};
    const Twiddle mirror = table[n / 4 - k - 1];
    return {mirror.s, mirror.c};
  }

  int32_t Slot(int32_t n, int32_t j) const noexcept { return order_[static_cast<size_t>(n - 2 + j)]; }

 private:
  std::array<Twiddle, kTwiddleCount> twiddles_{};
  std::array<int32_t, kLog2MaxSize + 1> twiddleStart_{};
  std::array<int32_t, kOrderCount> order_{};
};

// The one-time guard: a function-local static is constructed exactly once, even when two
// threads arrive at the same moment.
const FftTables& Tables() noexcept {
  static const FftTables tables;
  return tables;
}

inline Complex Twiddled(Complex z, Twiddle w) noexcept { return {z.re * w.c - z.im * w.s, z.re * w.s + z.im * w.c}; }
inline Complex TwiddledConj(Complex z, Twiddle w) noexcept {
  return {z.re * w.c + z.im * w.s, z.im * w.c - z.re * w.s};
}
inline Complex Load(const float* x, int32_t k) noexcept { return {x[2 * k], x[2 * k + 1]}; }
inline void Store(float* x, int32_t k, Complex z) noexcept {
  x[2 * k] = z.re;
  x[2 * k + 1] = z.im;
}

void Butterfly(float* x) noexcept {
  const Complex a = Load(x, 0), b = Load(x, 1);
  Store(x, 0, {a.re + b.re, a.im + b.im});
  Store(x, 1, {a.re - b.re, a.im - b.im});
}

// The passes over the four quarters stay out of line: in the Windows build a function whose loop
// uses xmm6-xmm15 saves and restores them on every call, and most calls of the recursion are the
// leaves, which need none of them.

// Forward's pass for n >= 4.
[[gnu::noinline]] void ForwardPass(const FftTables& tables, float* x, int32_t n) noexcept {
  const int32_t q = n / 4;
  const int32_t log2n = std::countr_zero(static_cast<uint32_t>(n));
  for (int32_t k = 0; k < q; ++k) {
    const Complex a = Load(x, k), b = Load(x, k + q), c = Load(x, k + 2 * q), d = Load(x, k + 3 * q);
    Store(x, k, {a.re + c.re, a.im + c.im});
    Store(x, k + q, {b.re + d.re, b.im + d.im});
    const Complex u{a.re - c.re, a.im - c.im}, v{b.re - d.re, b.im - d.im};
    const Complex plus{u.re - v.im, u.im + v.re}, minus{u.re + v.im, u.im - v.re};
    if (k == 0) {
      Store(x, 2 * q, plus);
      Store(x, 3 * q, minus);
    } else {
      const Twiddle w = tables.At(log2n, n, k);
      Store(x, k + 2 * q, Twiddled(plus, w));
      Store(x, k + 3 * q, TwiddledConj(minus, w));
    }
  }
}

// Decimation in frequency: the pass over the four quarters, then sizes n/2, n/4 and n/4.
void Forward(const FftTables& tables, float* x, int32_t n) noexcept {
  if (n <= 2) {
    if (n == 2) Butterfly(x);
    return;
  }
  ForwardPass(tables, x, n);
  const int32_t q = n / 4;
  Forward(tables, x, n / 2);
  Forward(tables, x + 4 * q, q);
  Forward(tables, x + 6 * q, q);
}

// Inverse's pass for n >= 4, after its three smaller transforms.
[[gnu::noinline]] void InversePass(const FftTables& tables, float* x, int32_t n) noexcept {
  const int32_t q = n / 4;
  const int32_t log2n = std::countr_zero(static_cast<uint32_t>(n));
  for (int32_t k = 0; k < q; ++k) {
    Complex p = Load(x, k + 2 * q), r = Load(x, k + 3 * q);
    if (k != 0) {
      const Twiddle w = tables.At(log2n, n, k);
      p = TwiddledConj(p, w);
      r = Twiddled(r, w);
    }
    const Complex a = Load(x, k), b = Load(x, k + q);
    const Complex s{p.re + r.re, p.im + r.im}, t{p.re - r.re, p.im - r.im};
    Store(x, k, {a.re + s.re, a.im + s.im});
    Store(x, k + 2 * q, {a.re - s.re, a.im - s.im});
    Store(x, k + q, {b.re + t.im, b.im - t.re});
    Store(x, k + 3 * q, {b.re - t.im, b.im + t.re});
  }
}

// Decimation in time, the mirror image of Forward.
void Inverse(const FftTables& tables, float* x, int32_t n) noexcept {
  if (n <= 2) {
    if (n == 2) Butterfly(x);
    return;
  }
  const int32_t q = n / 4;
  Inverse(tables, x, n / 2);
  Inverse(tables, x + 4 * q, q);
  Inverse(tables, x + 6 * q, q);
  InversePass(tables, x, n);
}

}  // namespace

bool IsSupportedFftSize(int32_t n) noexcept {
  // Not std::has_single_bit: without the popcount instruction, beyond the x86-64 baseline, it is a
  // library call, and the detector asks once per bin.
  return n >= kMinFftSize && n <= kMaxFftSize && (n & (n - 1)) == 0;
}

void BuildFftTables() noexcept { Tables(); }

void ComplexFft(float* data, int32_t n, int32_t inverse) noexcept {
  if (data == nullptr || !IsSupportedFftSize(n)) return;
  if (inverse != 0)
    Inverse(Tables(), data, n);
  else
    Forward(Tables(), data, n);
}

int32_t FftBinIndex(int32_t n, int32_t j) noexcept {
  if (!IsSupportedFftSize(n) || j < 0 || j >= n) return -1;
  return Tables().Slot(n, j);
}
