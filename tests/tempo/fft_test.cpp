// ComplexFft against a direct DFT computed here in double, for every size and both
// directions, and the slot order that FftBinIndex reports.
#include <gtest/gtest.h>

#include <cmath>
#include <complex>
#include <cstdint>
#include <numbers>
#include <vector>

#include "tempo/fft.h"

namespace {

using Cd = std::complex<double>;

std::vector<float> Noise(int32_t n, uint32_t seed) {
  std::vector<float> v(2 * static_cast<size_t>(n));
  for (float& x : v) {
    seed = seed * 1664525u + 1013904223u;
    x = static_cast<float>(seed >> 8) / 8388608.0f - 1.0f;
  }
  return v;
}

// sign +1: sum x[m] e^(+2 pi i m k / n); the angle is reduced exactly before the cosine.
Cd DirectDft(const std::vector<Cd>& x, int64_t k, int sign) {
  const int64_t n = static_cast<int64_t>(x.size());
  Cd sum = 0.0;
  for (int64_t m = 0; m < n; ++m) {
    const double angle = sign * 2.0 * std::numbers::pi * static_cast<double>((m * k) % n) / static_cast<double>(n);
    sum += x[static_cast<size_t>(m)] * Cd(std::cos(angle), std::sin(angle));
  }
  return sum;
}

Cd At(const std::vector<float>& data, int32_t slot) {
  return {data[2 * static_cast<size_t>(slot)], data[2 * static_cast<size_t>(slot) + 1]};
}

// The slot of a forward transform holding positive-exponent bin k.
int32_t SlotOfPositiveBin(int32_t n, int32_t k) { return FftBinIndex(n, (n - k) % n); }

// Every bin of the small sizes (through 2048, the size the detector uses, which already takes
// the mirrored twiddles); 67 spread bins of the larger ones.
std::vector<int32_t> BinsToCheck(int32_t n) {
  std::vector<int32_t> bins;
  if (n <= 2048) {
    for (int32_t k = 0; k < n; ++k) bins.push_back(k);
  } else {
    for (int32_t k = 0; k < 67; ++k) bins.push_back(static_cast<int32_t>((static_cast<int64_t>(k) * 7919 + k * k) % n));
    bins.push_back(n / 8);
    bins.push_back(n / 4 + 1);
    bins.push_back(n - 1);
  }
  return bins;
}

// Single-precision rounding grows with log2 n over outputs of size about sqrt(n).
double Tolerance(int32_t n) {
  return 1e-6 * std::log2(static_cast<double>(n)) * std::sqrt(static_cast<double>(n)) * 4.0;
}

TEST(ComplexFft, ForwardMatchesTheDirectTransformAtEverySize) {
  for (int32_t n = kMinFftSize; n <= kMaxFftSize; n *= 2) {
    const std::vector<float> input = Noise(n, static_cast<uint32_t>(n));
    std::vector<Cd> x(static_cast<size_t>(n));
    for (int32_t m = 0; m < n; ++m) x[static_cast<size_t>(m)] = At(input, m);
    std::vector<float> data = input;
    ComplexFft(data.data(), n, 0);
    double worst = 0.0;
    for (int32_t k : BinsToCheck(n))
      worst = std::max(worst, std::abs(At(data, SlotOfPositiveBin(n, k)) - DirectDft(x, k, +1)));
    EXPECT_LT(worst, Tolerance(n)) << "size " << n;
  }
}

TEST(ComplexFft, InverseTakesTheSlotOrderAndMatchesTheDirectTransform) {
  for (int32_t n = kMinFftSize; n <= kMaxFftSize; n *= 2) {
    const std::vector<float> slots = Noise(n, 77u + static_cast<uint32_t>(n));
    std::vector<Cd> bins(static_cast<size_t>(n));
    for (int32_t k = 0; k < n; ++k) bins[static_cast<size_t>(k)] = At(slots, SlotOfPositiveBin(n, k));
    std::vector<float> data = slots;
    ComplexFft(data.data(), n, 1);
    double worst = 0.0;
    for (int32_t m : BinsToCheck(n)) worst = std::max(worst, std::abs(At(data, m) - DirectDft(bins, m, -1)));
    EXPECT_LT(worst, Tolerance(n)) << "size " << n;
  }
}

TEST(ComplexFft, ForwardThenInverseGivesTheInputTimesTheSize) {
  for (int32_t n = kMinFftSize; n <= kMaxFftSize; n *= 2) {
    const std::vector<float> input = Noise(n, 5u * static_cast<uint32_t>(n));
    std::vector<float> data = input;
    ComplexFft(data.data(), n, 0);
    ComplexFft(data.data(), n, 1);
    double worst = 0.0;
    for (size_t i = 0; i < data.size(); ++i)
      worst = std::max(worst, static_cast<double>(std::abs(data[i] / static_cast<float>(n) - input[i])));
    EXPECT_LT(worst, 1e-5) << "size " << n;
  }
}

TEST(ComplexFft, SmallSizesFillTheirSlotsInTheScrambledOrder) {
  const struct {
    int32_t n;
    std::vector<float> in, out;
  } cases[] = {
      {2, {1, 2, 3, 5}, {4, 7, -2, -3}},
      {4, {1, 0, 0, 0, 0, 0, 0, 0}, {1, 0, 1, 0, 1, 0, 1, 0}},
      // Slots hold bins 0, 2, 1, 3 of the positive-exponent transform.
      {4, {0, 0, 1, 0, 0, 0, 0, 0}, {1, 0, -1, 0, 0, 1, 0, -1}},
  };
  for (const auto& c : cases) {
    std::vector<float> data = c.in;
    ComplexFft(data.data(), c.n, 0);
    EXPECT_EQ(data, c.out) << "size " << c.n;
    ComplexFft(data.data(), c.n, 1);
    for (size_t i = 0; i < data.size(); ++i) EXPECT_FLOAT_EQ(data[i], c.in[i] * static_cast<float>(c.n)) << c.n;
  }
}

TEST(ComplexFft, UnsupportedSizesLeaveTheDataAlone) {
  for (int32_t n : {-4, 0, 1, 3, 6, 1000, 65536}) {
    const std::vector<float> input = Noise(8, 3u);
    std::vector<float> data = input;
    ComplexFft(data.data(), n, 0);
    ComplexFft(data.data(), n, 1);
    EXPECT_EQ(data, input) << "size " << n;
    EXPECT_EQ(FftBinIndex(n, 0), -1) << "size " << n;
  }
  ComplexFft(nullptr, 8, 0);
}

TEST(FftBinIndex, NamesTheSlotOfEachBinAndRefusesWhatIsNotABin) {
  EXPECT_EQ(FftBinIndex(4, 1), 3);
  EXPECT_EQ(FftBinIndex(4, 2), 1);
  EXPECT_EQ(FftBinIndex(4, 3), 2);
  for (int32_t n = kMinFftSize; n <= kMaxFftSize; n *= 2) {
    EXPECT_EQ(FftBinIndex(n, 0), 0);
    EXPECT_EQ(FftBinIndex(n, -1), -1);
    EXPECT_EQ(FftBinIndex(n, n), -1);
    // Every slot is named exactly once.
    std::vector<bool> seen(static_cast<size_t>(n), false);
    for (int32_t j = 0; j < n; ++j) {
      const int32_t slot = FftBinIndex(n, j);
      ASSERT_TRUE(slot >= 0 && slot < n && !seen[static_cast<size_t>(slot)]) << n << " bin " << j;
      seen[static_cast<size_t>(slot)] = true;
    }
  }
}

TEST(FftBinIndex, ARealCosineShowsAtItsBinAndItsMirror) {
  constexpr int32_t n = 2048;
  std::vector<float> data(2 * n, 0.0f);
  for (int32_t m = 0; m < n; ++m)
    data[2 * static_cast<size_t>(m)] = static_cast<float>(std::cos(2.0 * std::numbers::pi * 100.0 * m / n));
  ComplexFft(data.data(), n, 0);
  for (int32_t bin = 0; bin < n; ++bin) {
    const double expected = bin == 100 || bin == n - 100 ? 1024.0 : 0.0;
    EXPECT_NEAR(std::abs(At(data, FftBinIndex(n, bin))), expected, 2e-3) << "bin " << bin;
  }
}

}  // namespace
