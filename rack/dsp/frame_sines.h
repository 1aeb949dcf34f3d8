#pragma once

#include <algorithm>
#include <array>
#include <cmath>
#include <cstddef>
#include <cstdint>

#include "rack/dsp/dsp_math.h"

namespace tarnwell::dsp {

// The sines of a few slow LFOs at every frame, each a function of the frame's index alone, not of
// how the frames are cut into blocks and chunks: a read that floors a modulated delay lands on the
// other side of a whole sample when its sine moves by a rounding step, so a sine carried by rotation
// from block to block would make the output depend on the block size. Frame N = j A + 64 q + r of
// an epoch (A frames an anchor period) takes anchor j's sine and cosine, from its phase, rotated by
// 64 q and then by r frames, from tables made at prepare: three operations a frame. Audio thread for
// Run, Skip, Start and Phases; Prepare takes a few thousand sines.
template <std::size_t Count>
class FrameSines {
 public:
  static constexpr std::int64_t kAnchorFrames = 4096;
  static constexpr std::size_t kCoarse = kAnchorFrames / 64;
  static constexpr std::size_t kFine = 64;

  // `steps` in cycles per frame. Start a new epoch after it.
  void Prepare(const std::array<double, Count>& steps) {
    steps_ = steps;
    for (std::size_t k = 0; k < Count; ++k) {
      for (std::size_t q = 0; q < kCoarse; ++q) {
        coarseCosine_[k][q] = std::cos(kTwoPi * steps[k] * static_cast<double>(64 * q));
        coarseSine_[k][q] = std::sin(kTwoPi * steps[k] * static_cast<double>(64 * q));
      }
      for (std::size_t r = 0; r < kFine; ++r) {
        fineCosine_[k][r] = std::cos(kTwoPi * steps[k] * static_cast<double>(r));
        fineSine_[k][r] = std::sin(kTwoPi * steps[k] * static_cast<double>(r));
      }
    }
  }

  // A new epoch: the next frame is frame 0, at these phases (cycles, 0..1).
  void Start(const std::array<double, Count>& phases) {
    epochPhases_ = phases;
    frame_ = 0;
    anchor_ = -1;
  }

  // The phases of the next frame.
  std::array<double, Count> Phases() const {
    std::array<double, Count> phases;
    for (std::size_t k = 0; k < Count; ++k) {
      phases[k] = PhaseAt(k, frame_);
    }
    return phases;
  }

  // Moves on as if `frames` frames had run.
  void Skip(std::int64_t frames) { frame_ += frames; }

  // The sines of the next `frames` frames: sines[k][f] for LFO k and frame f.
  template <typename Runs>
  void Run(Runs& sines, std::int32_t frames) {
    for (std::int32_t f = 0; f < frames;) {
      const std::int64_t frame = frame_ + f;
      const std::int64_t inPeriod = frame % kAnchorFrames;
      Anchor(frame / kAnchorFrames);
      const auto cell = static_cast<std::size_t>(inPeriod / 64);
      const auto first = static_cast<std::size_t>(inPeriod % 64);
      // Up to the end of the 64-frame cell, all from the cell's base.
      const std::int32_t stretch = std::min<std::int32_t>(frames - f, 64 - static_cast<std::int32_t>(first));
      for (std::size_t k = 0; k < Count; ++k) {
        const double sine = anchorSine_[k] * coarseCosine_[k][cell] + anchorCosine_[k] * coarseSine_[k][cell];
        const double cosine = anchorCosine_[k] * coarseCosine_[k][cell] - anchorSine_[k] * coarseSine_[k][cell];
        double* out = sines[k].data() + f;
        const double* fineCosine = fineCosine_[k].data() + first;
        const double* fineSine = fineSine_[k].data() + first;
        for (std::int32_t i = 0; i < stretch; ++i) {
          out[i] = sine * fineCosine[i] + cosine * fineSine[i];
        }
      }
      f += stretch;
    }
    frame_ += frames;
  }

 private:
  double PhaseAt(std::size_t k, std::int64_t frame) const {
    const double phase = epochPhases_[k] + std::fmod(static_cast<double>(frame) * steps_[k], 1.0);
    return phase >= 1.0 ? phase - 1.0 : phase;
  }

  void Anchor(std::int64_t anchor) {
    if (anchor == anchor_) {
      return;
    }
    anchor_ = anchor;
    for (std::size_t k = 0; k < Count; ++k) {
      const double phase = PhaseAt(k, anchor * kAnchorFrames);
      anchorSine_[k] = std::sin(kTwoPi * phase);
      anchorCosine_[k] = std::cos(kTwoPi * phase);
    }
  }

  std::array<double, Count> steps_{};
  std::array<double, Count> epochPhases_{};
  std::int64_t frame_ = 0;
  std::int64_t anchor_ = -1;
  std::array<double, Count> anchorSine_{};
  std::array<double, Count> anchorCosine_{};
  std::array<std::array<double, kCoarse>, Count> coarseCosine_{};
  std::array<std::array<double, kCoarse>, Count> coarseSine_{};
  std::array<std::array<double, kFine>, Count> fineCosine_{};
  std::array<std::array<double, kFine>, Count> fineSine_{};
};

}  // namespace tarnwell::dsp
