#pragma once

#include <array>
#include <bit>
#include <cstdint>
#include <utility>

#include "rack/dsp/stereo_biquad.h"

// Blocks that run long filter chains process a chunk of frames one stage at a time instead of one
// frame through every stage: within a frame each section waits for the one before it, while over a
// chunk the sections of a short cascade overlap from frame to frame. A frame's two channels travel
// as one vector, so each operation below is one SSE2 instruction on x86-64 (GCC and Clang vector
// extensions: the same arithmetic, lane by lane, as the scalar code, so results stay bit-exact).
using StereoFrame = double __attribute__((vector_size(16)));

// A frame's bits, for sign tricks and for comparisons, which give all ones or all zeros per lane.
using StereoBits = std::int64_t __attribute__((vector_size(16)));

inline StereoBits ChannelBits(StereoFrame value) {
    return std::bit_cast<StereoBits>(value);
}

inline StereoFrame FramesFromBits(StereoBits bits) {
    return std::bit_cast<StereoFrame>(bits);
}

// Per channel, `ifSet` where the comparison result `mask` holds and `ifClear` where it does not.
inline StereoFrame SelectChannels(StereoBits mask, StereoFrame ifSet, StereoFrame ifClear) {
    return FramesFromBits((mask & ChannelBits(ifSet)) | (~mask & ChannelBits(ifClear)));
}

// Frames a block processes per stage pass; its scratch arrays live on the stack.
inline constexpr std::int32_t kStereoChunkFrames = 64;

inline StereoFrame BothChannels(double value) {
    return StereoFrame{value, value};
}

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

    StereoFrame Run(StereoFrame x) {
        const StereoFrame y = b0 * x + z1;
        z1 = b1 * x - a1 * y + z2;
        z2 = b2 * x - a2 * y;
        return y;
    }

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
    }(std::make_index_sequence<K>{});
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
