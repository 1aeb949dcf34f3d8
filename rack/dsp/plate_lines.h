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

// Plate line lengths are given at 44.1 kHz; a line gets pad + floor(length x scale) samples, never
// fewer than `shortest`.
inline std::int32_t ScaledLength(double length, double scale, std::int32_t pad, std::int32_t shortest) {
    return std::max(shortest, pad + static_cast<std::int32_t>(std::floor(length * scale)));
}

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

private:
    // Two neighbouring reads of four points each.
    static constexpr std::int32_t kCopiedFrames = 4;

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
