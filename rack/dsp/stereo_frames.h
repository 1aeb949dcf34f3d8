#pragma once

#include <array>
#include <bit>
#include <cstdint>
#include <cstring>
#include <utility>

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

#include "rack/dsp/stereo_biquad.h"

namespace tarnwell::dsp {

// Blocks that run long filter chains process a chunk of frames one stage at a time instead of one
// frame through every stage: within a frame each section waits for the one before it, while over a
// chunk the sections of a short cascade overlap from frame to frame. A frame's two channels travel
// as one vector, so each operation below is one SSE2 instruction on x86-64 (GCC and Clang vector
// extensions: the same arithmetic, lane by lane, as the scalar code, so results stay bit-exact).
using StereoFrame = double __attribute__((vector_size(16)));

// A frame's bits, for sign tricks and for comparisons, which give all ones or all zeros per lane.
using StereoBits = std::int64_t __attribute__((vector_size(16)));

inline StereoBits ChannelBits(StereoFrame value) { return std::bit_cast<StereoBits>(value); }

inline StereoFrame FramesFromBits(StereoBits bits) { return std::bit_cast<StereoFrame>(bits); }

// Per channel, `ifSet` where the comparison result `mask` holds and `ifClear` where it does not. In
// SSE2 logic instructions where there are any: GCC may otherwise split a select of a combined mask
// into one conditional move per channel.
inline StereoFrame SelectChannels(StereoBits mask, StereoFrame ifSet, StereoFrame ifClear) {
#if defined(__SSE2__)
  const auto m = std::bit_cast<__m128d>(mask);
  return _mm_or_pd(_mm_and_pd(m, ifSet), _mm_andnot_pd(m, ifClear));
#else
  return FramesFromBits((mask & ChannelBits(ifSet)) | (~mask & ChannelBits(ifClear)));
#endif
}

// Whether the comparison result `mask` holds in either channel.
inline bool EitherChannel(StereoBits mask) {
#if defined(__SSE2__)
  return _mm_movemask_pd(std::bit_cast<__m128d>(mask)) != 0;
#else
  return (mask[0] | mask[1]) != 0;
#endif
}

// Frames a block processes per stage pass; its scratch arrays live on the stack.
inline constexpr std::int32_t kStereoChunkFrames = 64;

inline StereoFrame BothChannels(double value) { return StereoFrame{value, value}; }

// Two consecutive values of one signal (two frames' worth) as one vector, and back.
inline StereoFrame LoadPair(const double* values) {
  StereoFrame pair;
  std::memcpy(&pair, values, sizeof pair);
  return pair;
}

inline void StorePair(StereoFrame pair, double* values) { std::memcpy(values, &pair, sizeof pair); }

inline void LoadFrames(const double* left, const double* right, StereoFrame* frames, std::int32_t count) {
  for (std::int32_t i = 0; i < count; ++i) {
    frames[i] = StereoFrame{left[i], right[i]};
  }
}

inline void StoreFrames(const StereoFrame* frames, double* left, double* right, std::int32_t count) {
  // Right first: with a mono buffer (left == right) the left channel's value is the one kept, as
  // the blocks' per-frame code does.
  for (std::int32_t i = 0; i < count; ++i) {
    right[i] = frames[i][1];
    left[i] = frames[i][0];
  }
}

// One frame through a section in transposed direct form II, lane by lane as Biquad::Run computes it.
inline StereoFrame RunSectionFrame(StereoFrame b0, StereoFrame b1, StereoFrame b2, StereoFrame a1, StereoFrame a2,
                                   StereoFrame& z1, StereoFrame& z2, StereoFrame x) {
  const StereoFrame y = b0 * x + z1;
  z1 = b1 * x - a1 * y + z2;
  z2 = b2 * x - a2 * y;
  return y;
}

// A StereoBiquad held in vector form, for loops that keep sections in locals: Run computes exactly
// what StereoBiquad::Run computes.
struct StereoSection {
  StereoFrame b0, b1, b2, a1, a2, z1, z2;

  explicit StereoSection(const StereoBiquad& s)
      : b0(BothChannels(s.b0)),
        b1(BothChannels(s.b1)),
        b2(BothChannels(s.b2)),
        a1(BothChannels(s.a1)),
        a2(BothChannels(s.a2)),
        z1{s.z1[0], s.z1[1]},
        z2{s.z2[0], s.z2[1]} {}

  StereoFrame Run(StereoFrame x) { return RunSectionFrame(b0, b1, b2, a1, a2, z1, z2, x); }

  // Hands the state back to the section it was taken from.
  void KeepStateIn(StereoBiquad& s) const {
    s.z1 = {z1[0], z1[1]};
    s.z2 = {z2[0], z2[1]};
  }
};

// Runs the sections in order over the frames in place; their states are updated as if each frame
// had passed through them one by one. Four sections at most per call, so that coefficients and
// states stay close to the registers.
template <std::size_t K>
void RunCascade(const std::array<StereoBiquad*, K>& sections, StereoFrame* frames, std::int32_t count) {
  static_assert(K >= 1 && K <= 4);
  std::array<StereoSection, K> local = [&]<std::size_t... k>(std::index_sequence<k...>) {
    return std::array<StereoSection, K>{StereoSection(*sections[k])...};
  }
  (std::make_index_sequence<K>{});
  for (std::int32_t i = 0; i < count; ++i) {
    StereoFrame x = frames[i];
    for (StereoSection& section : local) {
      x = section.Run(x);
    }
    frames[i] = x;
  }
  for (std::size_t k = 0; k < K; ++k) {
    local[k].KeepStateIn(*sections[k]);
  }
}

template <std::size_t N>
std::array<StereoBiquad*, N> SectionsOf(std::array<StereoBiquad, N>& chain) {
  std::array<StereoBiquad*, N> sections{};
  for (std::size_t i = 0; i < N; ++i) {
    sections[i] = &chain[i];
  }
  return sections;
}

// Two mono sections run side by side as one pair, lane 0 the first and lane 1 the second: two
// different filters of one signal, or one design on two channels whose states live in separate
// Biquads. Each lane computes exactly what its Biquad::Run computes.
struct BiquadPair {
  StereoFrame b0, b1, b2, a1, a2, z1, z2;

  BiquadPair(const Biquad& first, const Biquad& second)
      : b0{first.b0, second.b0},
        b1{first.b1, second.b1},
        b2{first.b2, second.b2},
        a1{first.a1, second.a1},
        a2{first.a2, second.a2},
        z1{first.z1, second.z1},
        z2{first.z2, second.z2} {}

  StereoFrame Run(StereoFrame x) { return RunSectionFrame(b0, b1, b2, a1, a2, z1, z2, x); }

  void SaveStates(Biquad& first, Biquad& second) const {
    first.z1 = z1[0];
    first.z2 = z2[0];
    second.z1 = z1[1];
    second.z2 = z2[1];
  }
};

// The coefficients of a section at one frame, for sections whose design moves from frame to frame.
// Nothing to initialise, so a chunk's table of them costs no stores before it is filled.
struct SectionDesign {
  double b0, b1, b2, a1, a2;
};

// Two frames' designs of one section, a lane each, as DesignPeakWithOneDivision makes them two at a time.
struct SectionDesignPair {
  StereoFrame b0, b1, b2, a1, a2;
};

// The pair's lanes to two consecutive frames' designs.
inline void StoreDesignLanes(const SectionDesignPair& pair, SectionDesign* designs) {
  for (std::size_t lane = 0; lane < 2; ++lane) {
    designs[lane] = {pair.b0[lane], pair.b1[lane], pair.b2[lane], pair.a1[lane], pair.a2[lane]};
  }
}

// RunCascade for sections redesigned every frame: frame i runs through section k with designs[k][i].
// The sections keep the last frame's design, as if each frame had been designed into them in turn.
template <std::size_t K>
void RunCascadeWithDesigns(const std::array<StereoBiquad*, K>& sections,
                           const std::array<const SectionDesign*, K>& designs, StereoFrame* frames,
                           std::int32_t count) {
  static_assert(K >= 1 && K <= 4);
  if (count < 1) {
    return;
  }
  StereoFrame z1[K], z2[K];
  for (std::size_t k = 0; k < K; ++k) {
    z1[k] = StereoFrame{sections[k]->z1[0], sections[k]->z1[1]};
    z2[k] = StereoFrame{sections[k]->z2[0], sections[k]->z2[1]};
  }
  for (std::int32_t i = 0; i < count; ++i) {
    StereoFrame x = frames[i];
    for (std::size_t k = 0; k < K; ++k) {
      const SectionDesign& d = designs[k][i];
      x = RunSectionFrame(BothChannels(d.b0), BothChannels(d.b1), BothChannels(d.b2), BothChannels(d.a1),
                          BothChannels(d.a2), z1[k], z2[k], x);
    }
    frames[i] = x;
  }
  for (std::size_t k = 0; k < K; ++k) {
    const SectionDesign& last = designs[k][count - 1];
    *sections[k] = {last.b0, last.b1, last.b2, last.a1, last.a2, {z1[k][0], z1[k][1]}, {z2[k][0], z2[k][1]}};
  }
}

}  // namespace tarnwell::dsp
