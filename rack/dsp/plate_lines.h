#pragma once

#include <algorithm>
#include <array>
#include <cmath>
#include <cstdint>
#include <cstring>
#include <emmintrin.h>
#include <vector>

#include "rack/dsp/ring_delay.h"
#include "rack/dsp/stereo_frames.h"

namespace tarnwell::dsp {

// Plate line lengths are given at 44.1 kHz; a line gets pad + floor(length x scale) samples, never
// fewer than `shortest`.
inline std::int32_t ScaledLength(double length, double scale, std::int32_t pad, std::int32_t shortest) {
  return std::max(shortest, pad + static_cast<std::int32_t>(std::floor(length * scale)));
}

// Vectors of W doubles for the plate's wide loops: W = 2 is one SSE2 register, W = 4 one AVX
// register (the plate runs those loops only where the processor has AVX2 and FMA).
template <int W>
struct PlateLaneTypes;

template <>
struct PlateLaneTypes<2> {
  using Lanes = double __attribute__((vector_size(16)));
  using Ints = std::int32_t __attribute__((vector_size(8)));
};

template <>
struct PlateLaneTypes<4> {
  using Lanes = double __attribute__((vector_size(32)));
  using Ints = std::int32_t __attribute__((vector_size(16)));
};

template <int W>
using PlateLanes = typename PlateLaneTypes<W>::Lanes;
template <int W>
using PlateLaneInts = typename PlateLaneTypes<W>::Ints;

// A ring's samples and write position, open to the plate's loops.
struct PlateRing {
  std::vector<double> samples;
  std::int32_t position = 0;

  void Clear() {
    std::fill(samples.begin(), samples.end(), 0.0);
    position = 0;
  }
  void Release() {
    std::vector<double>().swap(samples);
    position = 0;
  }
};

// The plate's pre-delay: a line of `length` samples of which only the reflection taps are read. A
// power-of-two ring longer than the longest tap and a run holds all those reads reach, followed by
// copies of its first samples, so that each tap's reads of a run are one stretch.
class PreDelayLine {
 public:
  // Prepare-time only; may throw std::bad_alloc. Clears the content.
  void Resize(std::int32_t length, std::int32_t longestTap, std::int32_t longestRun, std::int32_t lanes) {
    length_ = std::max(0, length);
    std::int32_t size = 16;
    while (size < longestTap + longestRun + 1) {
      size *= 2;
    }
    mask_ = size - 1;
    copied_ = longestRun + lanes;
    ring_.samples.assign(static_cast<std::size_t>(size + copied_), 0.0);
    ring_.position = 0;
  }
  void Clear() { ring_.Clear(); }
  void Release() {
    ring_.Release();
    length_ = 0;
  }
  std::int32_t Length() const { return length_; }

  void Push(const double* x, std::int32_t count) {
    for (std::int32_t f = 0; f < count; ++f) {
      ring_.samples[static_cast<std::size_t>((ring_.position + f) & mask_)] = x[f];
    }
    ring_.position = (ring_.position + count) & mask_;
    std::copy_n(ring_.samples.begin(), copied_, ring_.samples.begin() + mask_ + 1);
  }

  // For each of the last `count` pushes, the sum over the taps, in order from 0, of gains[i] x the
  // sample delays[i] pushes before the next one (RingDelay's Tap right after that push), into
  // sums[f]; W frames at a time, with room in `sums` for the run rounded up to W. Right while
  // 1 <= delays[i] and delays[i] + count - 1 fits the ring.
  template <int W, std::size_t Taps>
  [[gnu::always_inline]] void Reflect(const std::array<std::int32_t, Taps>& delays,
                                      const std::array<double, Taps>& gains, std::size_t taps, double* sums,
                                      std::int32_t count) const {
    std::array<const double*, Taps> reads{};
    for (std::size_t i = 0; i < taps; ++i) {
      reads[i] = ring_.samples.data() + ((ring_.position - count + 1 - delays[i]) & mask_);
    }
    for (std::int32_t f = 0; f < count; f += W) {
      PlateLanes<W> sum = PlateLanes<W>{} + 0.0;
      for (std::size_t i = 0; i < taps; ++i) {
        PlateLanes<W> x;
        std::memcpy(&x, reads[i] + f, sizeof x);
        sum += gains[i] * x;
      }
      std::memcpy(sums + f, &sum, sizeof sum);
    }
  }

 private:
  PlateRing ring_;
  std::int32_t length_ = 0;
  std::int32_t mask_ = 0;
  std::int32_t copied_ = 0;
};

// A delay line of the plate's small tank: the same ring as RingDelay (a line of length L gives back
// what went in L pushes before), with its samples and position open to the tank's frame loop, which
// keeps the position in a register.
struct TankLine : PlateRing {
  // Prepare-time only; may throw std::bad_alloc. Clears the content.
  void Resize(std::int32_t length) {
    samples.assign(static_cast<std::size_t>(std::max(0, length)), 0.0);
    position = 0;
  }
  std::int32_t Length() const { return static_cast<std::int32_t>(samples.size()); }

  // RingDelay's At, Tap, Push, Oldest and cubic read, for the tank's general loop.
  double At(std::int32_t index) const {
    index += index < 0 ? Length() : 0;
    index -= index >= Length() ? Length() : 0;
    return samples[static_cast<std::size_t>(index)];
  }
  double Tap(std::int32_t delay) const { return At(position - delay); }
  double Oldest() const { return samples[static_cast<std::size_t>(position)]; }
  void Push(double x) {
    samples[static_cast<std::size_t>(position)] = x;
    position = position + 1 == Length() ? 0 : position + 1;
  }
  double Step(double x) {
    const double out = Oldest();
    Push(x);
    return out;
  }
  double ReadCubic(double delay) const {
    const double longest = static_cast<double>(Length()) - 2.0;
    if (!(delay >= 2.0)) {
      delay = 2.0;
    }
    if (delay > longest) {
      delay = longest;
    }
    const double whole = std::floor(delay);
    const std::int32_t index = position - 1 - static_cast<std::int32_t>(whole);
    return CubicInterpolate(At(index - 1), At(index), At(index + 1), At(index + 2), delay - whole);
  }
};

// The four allpasses in series that the plate uses in three places (input, reflections, large tank).
class PlateDiffusers {
 public:
  // Prepare-time only; may throw std::bad_alloc. `scale` is the rate over 44.1 kHz.
  void Prepare(double scale) {
    for (std::size_t i = 0; i < lines_.size(); ++i) {
      lines_[i].Resize(ScaledLength(kLengths[i], scale, kPad, kShortest));
    }
  }

  double Run(double x) { return AllpassSeries(lines_, kGains, x); }

  // Run over a sequence in place, one line at a time: each line's stretches have no recurrence.
  void RunInPlace(double* samples, std::int32_t count) {
    for (std::size_t i = 0; i < lines_.size(); ++i) {
      lines_[i].RunAllpass(kGains[i], samples, count);
    }
  }

  bool Ready() const { return lines_[0].Length() > 0; }

  void Clear() { ClearLines(lines_); }
  void Release() { ReleaseLines(lines_); }

 private:
  static constexpr std::array<double, 4> kLengths = {142.0, 107.0, 379.0, 277.0};
  static constexpr std::array<double, 4> kGains = {0.75, 0.75, 0.625, 0.625};
  static constexpr std::int32_t kPad = 8;
  static constexpr std::int32_t kShortest = 4;

  std::array<RingDelay, 4> lines_;
};

// Two vectors of W frames, a and b, stored as the frames' pairs {a, b}, frame j at out + j x stride.
template <int W>
[[gnu::always_inline]] inline void StorePairs(const PlateLanes<W>& a, const PlateLanes<W>& b, double* out,
                                              std::size_t stride) {
  using Pair = double __attribute__((vector_size(16)));
  if constexpr (W == 2) {
    const Pair first = __builtin_shufflevector(a, b, 0, 2);
    const Pair second = __builtin_shufflevector(a, b, 1, 3);
    std::memcpy(out, &first, sizeof first);
    std::memcpy(out + stride, &second, sizeof second);
  } else {
    const PlateLanes<4> low = __builtin_shufflevector(a, b, 0, 4, 1, 5);
    const PlateLanes<4> high = __builtin_shufflevector(a, b, 2, 6, 3, 7);
    const Pair pairs[4] = {Pair{low[0], low[1]}, Pair{low[2], low[3]}, Pair{high[0], high[1]}, Pair{high[2], high[3]}};
    for (std::size_t j = 0; j < 4; ++j) {
      std::memcpy(out + j * stride, &pairs[j], sizeof pairs[j]);
    }
  }
}

// The reverse: W frames' pairs {a, b} at in + j x stride, into a vector of their a and one of their b.
template <int W>
[[gnu::always_inline]] inline void LoadPairs(const double* in, std::size_t stride, PlateLanes<W>& a, PlateLanes<W>& b) {
  using Pair = double __attribute__((vector_size(16)));
  if constexpr (W == 2) {
    Pair first;
    Pair second;
    std::memcpy(&first, in, sizeof first);
    std::memcpy(&second, in + stride, sizeof second);
    a = __builtin_shufflevector(first, second, 0, 2);
    b = __builtin_shufflevector(first, second, 1, 3);
  } else {
    Pair pairs[4];
    for (std::size_t j = 0; j < 4; ++j) {
      std::memcpy(&pairs[j], in + j * stride, sizeof pairs[j]);
    }
    const PlateLanes<4> low{pairs[0][0], pairs[0][1], pairs[1][0], pairs[1][1]};
    const PlateLanes<4> high{pairs[2][0], pairs[2][1], pairs[3][0], pairs[3][1]};
    a = __builtin_shufflevector(low, high, 0, 2, 4, 6);
    b = __builtin_shufflevector(low, high, 1, 3, 5, 7);
  }
}

// W vectors of W lanes transposed in place: lane l of vector j becomes lane j of vector l.
template <int W>
[[gnu::always_inline]] inline void TransposeLanes(std::array<PlateLanes<W>, W>& v) {
  if constexpr (W == 2) {
    const PlateLanes<2> first = __builtin_shufflevector(v[0], v[1], 0, 2);
    const PlateLanes<2> second = __builtin_shufflevector(v[0], v[1], 1, 3);
    v = {first, second};
  } else {
    const PlateLanes<4> evens01 = __builtin_shufflevector(v[0], v[1], 0, 4, 2, 6);
    const PlateLanes<4> odds01 = __builtin_shufflevector(v[0], v[1], 1, 5, 3, 7);
    const PlateLanes<4> evens23 = __builtin_shufflevector(v[2], v[3], 0, 4, 2, 6);
    const PlateLanes<4> odds23 = __builtin_shufflevector(v[2], v[3], 1, 5, 3, 7);
    v = {__builtin_shufflevector(evens01, evens23, 0, 1, 4, 5), __builtin_shufflevector(odds01, odds23, 0, 1, 4, 5),
         __builtin_shufflevector(evens01, evens23, 2, 3, 6, 7), __builtin_shufflevector(odds01, odds23, 2, 3, 6, 7)};
  }
}

// The four weights of CombBank's cubic read at fraction t, lane by lane: the value is
// before w0 + at w1 + next w2 + afterNext w3, the same cubic that CubicInterpolate evaluates.
template <int W>
struct CubicWeights {
  PlateLanes<W> before;
  PlateLanes<W> at;
  PlateLanes<W> next;
  PlateLanes<W> afterNext;
};

template <int W>
[[gnu::always_inline]] inline void WeighCubic(const PlateLanes<W>& t, CubicWeights<W>& w) {
  const PlateLanes<W> half = 0.5 * t;
  const PlateLanes<W> t2 = t * t;
  const PlateLanes<W> halfT3 = half * t2;
  w.before = (t2 - half) - halfT3;
  w.at = 1.0 + t2 * (1.5 * t - 2.5);
  w.next = half + t2 * (2.0 - 1.5 * t);
  w.afterNext = halfT3 - 0.5 * t2;
}

// The plate's parallel combs, each in its own ring of the same power-of-two length (at least the
// longest comb), followed by copies of the ring's first samples so that no read needs a wrap. Each
// comb keeps its nominal length, which bounds its reads, so every read returns the sample a line of
// that length would hold. Combs are read and written a run of frames at a time: the reads of a run
// must reach no frame written within it.
template <std::size_t Combs>
class CombBank {
 public:
  // Prepare-time only; may throw std::bad_alloc. Clears the content.
  void Resize(const std::array<std::int32_t, Combs>& lengths) {
    std::int32_t longest = 1;
    for (std::size_t i = 0; i < Combs; ++i) {
      longest = std::max(longest, lengths[i]);
      longestRead_[i] = static_cast<double>(lengths[i]) - 2.0;
    }
    frames_ = kCopiedFrames;
    while (frames_ < longest) {
      frames_ *= 2;
    }
    stride_ = static_cast<std::size_t>(frames_ + kCopiedFrames);
    samples_.assign(stride_ * Combs, 0.0);
    position_ = 0;
  }

  void Clear() {
    std::fill(samples_.begin(), samples_.end(), 0.0);
    position_ = 0;
  }

  void Release() {
    std::vector<double>().swap(samples_);
    longestRead_ = {};
    frames_ = 0;
    stride_ = 0;
    position_ = 0;
  }

  // The comb's cubic reads `delays[f]` samples back from frame f of the run, as ReadCubic reads a
  // line of the comb's length. Two frames at a time: while both have the same whole delay their
  // points are neighbours, and each lane's four points are one load each.
  void ReadCubicRun(std::size_t comb, const double* delays, double* out, std::int32_t frames) const {
    const double* line = samples_.data() + comb * stride_;
    const StereoFrame longest = BothChannels(longestRead_[comb]);
    std::int32_t f = 0;
    for (; f + 1 < frames; f += 2) {
      const StereoFrame value = ReadFramePair(line, longest, LoadPair(delays + f), f);
      std::memcpy(out + f, &value, sizeof value);
    }
    if (f < frames) {
      // Alone: the pair's second read, at the frame after, is not used.
      out[f] = ReadFramePair(line, longest, BothChannels(delays[f]), f)[0];
    }
  }

  // The comb's samples for the frames of a run, `feedback` x damped + input each (as the caller
  // computes them frame by frame); Advance moves past them once every comb has its own.
  void Write(std::size_t comb, const double* damped, double feedback, const double* inputs, std::int32_t frames) {
    double* line = samples_.data() + comb * stride_;
    std::int32_t slot = position_;
    for (std::int32_t f = 0; f < frames;) {
      const std::int32_t stretch = std::min(frames - f, frames_ - slot);
      double* __restrict out = line + slot;
      for (std::int32_t i = 0; i < stretch; ++i) {
        out[i] = damped[f + i] * feedback + inputs[f + i];
      }
      f += stretch;
      slot = (slot + stretch) & (frames_ - 1);
    }
    std::copy(line, line + kCopiedFrames, line + frames_);
  }

  void Advance(std::int32_t frames) { position_ = (position_ + frames) & (frames_ - 1); }

  // For writing frames in place: frame f of the run goes to Line(comb)[Slot(f)]; CopyHeads after the
  // run, and then Advance.
  double* Line(std::size_t comb) { return samples_.data() + comb * stride_; }
  std::size_t Stride() const { return stride_; }
  std::int32_t Slot(std::int32_t frame) const { return (position_ + frame) & (frames_ - 1); }
  void CopyHeads() {
    for (std::size_t comb = 0; comb < Combs; ++comb) {
      double* line = Line(comb);
      std::copy(line, line + kCopiedFrames, line + frames_);
    }
  }

  // After a run whose first `frames` frames were stored `block` at a time from the Slot of each block's
  // first frame on, without wrapping: the frames that went past the ring's end belong at its start.
  void MoveOverflow(std::int32_t frames, std::int32_t block) {
    const std::int32_t untilEnd = frames_ - position_;
    if (untilEnd >= frames || untilEnd % block == 0) {
      return;
    }
    const std::int32_t overflow = block - untilEnd % block;
    for (std::size_t comb = 0; comb < Combs; ++comb) {
      double* line = Line(comb);
      std::copy(line + frames_, line + frames_ + overflow, line);
    }
  }

  // The longest delay a read of the comb takes as it is (longer ones are held to it).
  double LongestRead(std::size_t comb) const { return longestRead_[comb]; }

  // Comb `first` and comb `second` read together, W frames at a time, at the first's delays[f]
  // and the second's delays[f] + offset: combs whose base delays differ by a whole number of
  // samples and share a modulation share the fraction of their reads, and so the cubic's weights.
  // No clamping: the caller keeps both combs' delays within 2 .. their length - 2. Frame f's reads
  // go to out[f x stride] (first's) and the double after it (second's); `delays` and `out` have room
  // for the run rounded up to W frames.
  // `steadyWhole`, when not negative, is the whole part of every delay of the run (a delay moves by
  // far less than a sample over a run, so mostly it holds): then each read starts one sample after
  // the frame before's.
  template <int W>
  [[gnu::always_inline]] void ReadPairRun(std::size_t first, std::size_t second, std::int32_t offset,
                                          const double* delays, std::int32_t steadyWhole, double* out,
                                          std::size_t stride, std::int32_t frames) const {
    const double* firstLine = samples_.data() + first * stride_;
    const double* secondLine = samples_.data() + second * stride_;
    const std::int32_t mask = frames_ - 1;
    const bool steady = steadyWhole >= 0;
    for (std::int32_t f = 0; f < frames; f += W) {
      PlateLanes<W> delay;
      std::memcpy(&delay, delays + f, sizeof delay);
      PlateLanes<W> a;
      PlateLanes<W> b;
      CubicWeights<W> w;
      if (steady) [[likely]] {
        WeighCubic<W>(delay - static_cast<double>(steadyWhole), w);
        ReadContiguous<W>(firstLine + ((position_ + f - 2 - steadyWhole) & mask), w, a);
        ReadContiguous<W>(secondLine + ((position_ + f - 2 - steadyWhole - offset) & mask), w, b);
      } else {
        // The delays are positive, so truncation is the floor.
        const PlateLaneInts<W> wholes = __builtin_convertvector(delay, PlateLaneInts<W>);
        WeighCubic<W>(delay - __builtin_convertvector(wholes, PlateLanes<W>), w);
#pragma GCC unroll 8
        for (int lane = 0; lane < W; ++lane) {
          const std::int32_t start = position_ + f + lane - 2 - wholes[lane];
          a[lane] = WeighPoints(firstLine + (start & mask), w, lane);
          b[lane] = WeighPoints(secondLine + ((start - offset) & mask), w, lane);
        }
      }
      StorePairs<W>(a, b, out + static_cast<std::size_t>(f) * stride, stride);
    }
  }

  // The combs' samples for a run of frames, `feedback` x damped + input, each frame's two values
  // side by side: comb first's at damped[f x stride] and comb second's after it, and likewise the
  // inputs at inputs[f x inputStride].
  template <int W>
  [[gnu::always_inline]] void WritePairRun(std::size_t first, std::size_t second, const double* damped,
                                           std::size_t stride, double feedback, const double* inputs,
                                           std::size_t inputStride, std::int32_t frames) {
    double* firstLine = samples_.data() + first * stride_;
    double* secondLine = samples_.data() + second * stride_;
    std::int32_t slot = position_;
    for (std::int32_t f = 0; f < frames;) {
      const std::int32_t stretch = std::min(frames - f, frames_ - slot);
      std::int32_t i = 0;
      for (; i + W <= stretch; i += W) {
        PlateLanes<W> a;
        PlateLanes<W> b;
        PlateLanes<W> inA;
        PlateLanes<W> inB;
        const auto frame = static_cast<std::size_t>(f + i);
        LoadPairs<W>(damped + frame * stride, stride, a, b);
        LoadPairs<W>(inputs + frame * inputStride, inputStride, inA, inB);
        const PlateLanes<W> outA = a * feedback + inA;
        const PlateLanes<W> outB = b * feedback + inB;
        std::memcpy(firstLine + slot + i, &outA, sizeof outA);
        std::memcpy(secondLine + slot + i, &outB, sizeof outB);
      }
      for (; i < stretch; ++i) {
        const auto frame = static_cast<std::size_t>(f + i);
        firstLine[slot + i] = damped[frame * stride] * feedback + inputs[frame * inputStride];
        secondLine[slot + i] = damped[frame * stride + 1] * feedback + inputs[frame * inputStride + 1];
      }
      f += stretch;
      slot = (slot + stretch) & (frames_ - 1);
    }
    std::copy(firstLine, firstLine + kCopiedFrames, firstLine + frames_);
    std::copy(secondLine, secondLine + kCopiedFrames, secondLine + frames_);
  }

 private:
  // Reads of up to four neighbouring frames of four points each run past the ring's end.
  static constexpr std::int32_t kCopiedFrames = 8;

  template <int W>
  [[gnu::always_inline]] static void ReadContiguous(const double* p, const CubicWeights<W>& w, PlateLanes<W>& value) {
    PlateLanes<W> before;
    PlateLanes<W> at;
    PlateLanes<W> next;
    PlateLanes<W> afterNext;
    std::memcpy(&before, p, sizeof before);
    std::memcpy(&at, p + 1, sizeof at);
    std::memcpy(&next, p + 2, sizeof next);
    std::memcpy(&afterNext, p + 3, sizeof afterNext);
    value = (w.before * before + w.at * at) + (w.next * next + w.afterNext * afterNext);
  }

  template <int W>
  [[gnu::always_inline]] static double WeighPoints(const double* p, const CubicWeights<W>& w, int lane) {
    return (w.before[lane] * p[0] + w.at[lane] * p[1]) + (w.next[lane] * p[2] + w.afterNext[lane] * p[3]);
  }

  // Frames `frame` and `frame` + 1 of a run, delays[0] and delays[1] back.
  StereoFrame ReadFramePair(const double* line, StereoFrame longest, StereoFrame delays, std::int32_t frame) const {
    // Below 2 or NaN reads at 2 (the maximum takes its second operand then), beyond the longest
    // read at the longest.
    const __m128d delay = _mm_min_pd(_mm_max_pd(delays, BothChannels(2.0)), longest);
    // The delay is positive here, so truncation is the floor.
    const __m128i wholes = _mm_cvttpd_epi32(delay);
    const StereoFrame t = delay - _mm_cvtepi32_pd(wholes);
    const auto bothWholes = static_cast<std::uint64_t>(_mm_cvtsi128_si64(wholes));
    const auto whole = static_cast<std::int32_t>(static_cast<std::uint32_t>(bothWholes));
    const auto nextWhole = static_cast<std::int32_t>(static_cast<std::uint32_t>(bothWholes >> 32));
    const std::int32_t mask = frames_ - 1;
    const double* p = line + ((position_ + frame - 2 - whole) & mask);
    if (nextWhole == whole) {
      return CubicInterpolate(LoadPair(p), LoadPair(p + 1), LoadPair(p + 2), LoadPair(p + 3), t);
    }
    const double* q = line + ((position_ + frame - 1 - nextWhole) & mask);
    return CubicInterpolate(StereoFrame{p[0], q[0]}, StereoFrame{p[1], q[1]}, StereoFrame{p[2], q[2]},
                            StereoFrame{p[3], q[3]}, t);
  }

  static StereoFrame LoadPair(const double* p) {
    StereoFrame pair;
    std::memcpy(&pair, p, sizeof pair);
    return pair;
  }

  std::vector<double> samples_;
  std::array<double, Combs> longestRead_{};
  std::int32_t frames_ = 0;
  std::size_t stride_ = 0;
  std::int32_t position_ = 0;
};

}  // namespace tarnwell::dsp
