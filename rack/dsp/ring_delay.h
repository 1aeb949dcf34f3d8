#pragma once

#include <algorithm>
#include <array>
#include <cmath>
#include <cstdint>
#include <vector>

namespace tarnwell::dsp {

// A circular delay line. Every Step reads the oldest sample, writes the new one in its place and
// advances, so a line of length L delays by exactly L samples.
class RingDelay {
 public:
  // Prepare-time only: reuses the capacity when the length is unchanged (prepare may run on the
  // audio thread in some hosts). May throw std::bad_alloc. Clears the content.
  void Resize(std::int32_t length) {
    length_ = length > 0 ? length : 0;
    buffer_.assign(static_cast<std::size_t>(length_), 0.0);
    position_ = 0;
  }

  void Clear() {
    std::fill(buffer_.begin(), buffer_.end(), 0.0);
    position_ = 0;
  }

  void Release() {
    std::vector<double>().swap(buffer_);
    length_ = 0;
    position_ = 0;
  }

  std::int32_t Length() const { return length_; }
  std::int32_t Position() const { return position_; }

  double Oldest() const { return buffer_[static_cast<std::size_t>(position_)]; }

  void Push(double x) {
    buffer_[static_cast<std::size_t>(position_)] = x;
    if (++position_ == length_) {
      position_ = 0;
    }
  }

  double Step(double x) {
    const double out = Oldest();
    Push(x);
    return out;
  }

  // The sample at an index within one length either side of the buffer.
  double At(std::int32_t index) const {
    index += index < 0 ? length_ : 0;
    index -= index >= length_ ? length_ : 0;
    return buffer_[static_cast<std::size_t>(index)];
  }

  // The four samples from `index` on, when they lie inside the buffer without wrapping.
  const double* Contiguous(std::int32_t index) const {
    return index >= 0 && index + 3 < length_ ? buffer_.data() + index : nullptr;
  }

  // Whole-sample tap `delay` (0..length - 1) samples back from the write position.
  double Tap(std::int32_t delay) const { return At(position_ - delay); }

  // Push over `count` samples in order.
  void PushRun(const double* samples, std::int32_t count) {
    while (count > 0 && length_ > 0) {
      const std::int32_t stretch = std::min(count, length_ - position_);
      std::copy(samples, samples + stretch, buffer_.data() + position_);
      position_ += stretch;
      position_ = position_ == length_ ? 0 : position_;
      samples += stretch;
      count -= stretch;
    }
  }

  // Adds gain x Tap(delay), as Tap read it right after each of the last `count` pushes, to each of
  // `sums`. Right while 1 <= delay <= length + 1 - count: no later push of the run overwrote what
  // it read (Tap(0) reads the slot the next push takes).
  void AddTapRun(std::int32_t delay, double gain, double* sums, std::int32_t count) const {
    if (length_ <= 0) {
      return;
    }
    std::int32_t index = (position_ - count + 1 - delay) % length_;
    index += index < 0 ? length_ : 0;
    while (count > 0) {
      const std::int32_t stretch = std::min(count, length_ - index);
      const double* __restrict from = buffer_.data() + index;
      double* __restrict to = sums;
      for (std::int32_t i = 0; i < stretch; ++i) {
        to[i] += gain * from[i];
      }
      index = 0;
      sums += stretch;
      count -= stretch;
    }
  }

  // AllpassStep (below) over `count` samples in place. Up to the wrap point every slot is read once
  // and then written, so the steps of a stretch do not wait on one another and run as vectors.
  void RunAllpass(double gain, double* samples, std::int32_t count) {
    while (count > 0 && length_ > 0) {
      const std::int32_t stretch = std::min(count, length_ - position_);
      double* __restrict slots = buffer_.data() + position_;
      double* __restrict x = samples;
      for (std::int32_t i = 0; i < stretch; ++i) {
        const double w = slots[i];
        const double fed = x[i] + gain * w;
        slots[i] = fed;
        x[i] = w - gain * fed;
      }
      position_ += stretch;
      position_ = position_ == length_ ? 0 : position_;
      samples += stretch;
      count -= stretch;
    }
  }

 private:
  std::vector<double> buffer_;
  std::int32_t length_ = 0;
  std::int32_t position_ = 0;
};

template <std::size_t N>
void ClearLines(std::array<RingDelay, N>& lines) {
  for (RingDelay& line : lines) {
    line.Clear();
  }
}

template <std::size_t N>
void ReleaseLines(std::array<RingDelay, N>& lines) {
  for (RingDelay& line : lines) {
    line.Release();
  }
}

// Allpass around a line: the line takes x + g w, the output is w - g (x + g w), w the line's oldest sample.
inline double AllpassStep(RingDelay& line, double x, double gain) {
  const double w = line.Oldest();
  const double fed = x + gain * w;
  line.Push(fed);
  return w - gain * fed;
}

// Allpasses in series, each around its own line with its own gain.
template <std::size_t N>
double AllpassSeries(std::array<RingDelay, N>& lines, const std::array<double, N>& gains, double x) {
  for (std::size_t i = 0; i < N; ++i) {
    x = AllpassStep(lines[i], x, gains[i]);
  }
  return x;
}

// Four-point cubic through y(-1), y(0), y(1), y(2): y(0) at t = 0, y(1) at t = 1. Also for vectors
// of samples, lane by lane.
template <typename Sample>
Sample CubicInterpolate(Sample before, Sample at, Sample next, Sample afterNext, Sample t) {
  return at + t * (next - before) * 0.5 + t * t * (before - 2.5 * at + 2.0 * next - 0.5 * afterNext) +
         t * t * t * ((afterNext - before) * 0.5 + 1.5 * (at - next));
}

// Cubic read between the samples at index and index + 1, `t` of the way; the index may lie up to
// one length either side of the buffer.
inline double ReadCubicAt(const RingDelay& line, std::int32_t index, double t) {
  if (const double* points = line.Contiguous(index - 1)) {
    return CubicInterpolate(points[0], points[1], points[2], points[3], t);
  }
  return CubicInterpolate(line.At(index - 1), line.At(index), line.At(index + 1), line.At(index + 2), t);
}

// The four points and the fraction of a cubic read `delay` samples back, 0 being the newest sample.
// The delay is held to 2..length - 2 so all four points are distinct samples of the line; a NaN delay
// reads at 2. As t grows the value moves from delay i towards delay i - 1 (the read runs ahead of a
// plain delay by t).
struct CubicPoints {
  double before;
  double at;
  double next;
  double afterNext;
  double t;
};

inline CubicPoints GatherCubic(const RingDelay& line, double delay) {
  const double longest = static_cast<double>(line.Length()) - 2.0;
  if (!(delay >= 2.0)) {
    delay = 2.0;
  }
  if (delay > longest) {
    delay = longest;
  }
  const double whole = std::floor(delay);
  std::int32_t index = line.Position() - 1 - static_cast<std::int32_t>(whole);
  index += index < 0 ? line.Length() : 0;
  if (const double* points = line.Contiguous(index - 1)) {
    return {points[0], points[1], points[2], points[3], delay - whole};
  }
  return {line.At(index - 1), line.At(index), line.At(index + 1), line.At(index + 2), delay - whole};
}

inline double ReadCubic(const RingDelay& line, double delay) {
  const CubicPoints p = GatherCubic(line, delay);
  return CubicInterpolate(p.before, p.at, p.next, p.afterNext, p.t);
}

}  // namespace tarnwell::dsp
