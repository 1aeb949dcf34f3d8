#pragma once

#include <algorithm>
#include <array>
#include <cmath>
#include <cstdint>
#include <vector>

#include "rack/dsp/ring_delay.h"

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

// The plate's parallel combs in one ring whose frames hold every comb's sample side by side: a frame
// is written with one contiguous store and no comb needs its own wrap. The ring is a power of two
// at least as long as the longest comb; each comb keeps its nominal length, which bounds its reads,
// so every read returns the sample a line of that length would hold.
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
        frames_ = 1;
        while (frames_ < longest) {
            frames_ *= 2;
        }
        samples_.assign(static_cast<std::size_t>(frames_) * Combs, 0.0);
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
        position_ = 0;
    }

    // Every comb's cubic read `delays[i]` samples back, as ReadCubic reads a line of the comb's
    // length. Stage by stage over all combs, so that all but the loads run as vector loops.
    void ReadCubic(const std::array<double, Combs>& delays, std::array<double, Combs>& out) const {
        const std::int32_t mask = frames_ - 1;
        std::array<std::int32_t, Combs> first;
        std::array<double, Combs> t;
        for (std::size_t i = 0; i < Combs; ++i) {
            double delay = delays[i] >= 2.0 ? delays[i] : 2.0;
            delay = delay > longestRead_[i] ? longestRead_[i] : delay;
            // The delay is positive here, so truncation is the floor.
            const auto whole = static_cast<std::int32_t>(delay);
            t[i] = delay - static_cast<double>(whole);
            first[i] = position_ - 2 - whole;
        }
        std::array<double, Combs> before, at, next, afterNext;
        for (std::size_t i = 0; i < Combs; ++i) {
            const auto point = [&](std::int32_t frame) {
                return samples_[static_cast<std::size_t>(frame & mask) * Combs + i];
            };
            before[i] = point(first[i]);
            at[i] = point(first[i] + 1);
            next[i] = point(first[i] + 2);
            afterNext[i] = point(first[i] + 3);
        }
        for (std::size_t i = 0; i < Combs; ++i) {
            out[i] = CubicInterpolate(before[i], at[i], next[i], afterNext[i], t[i]);
        }
    }

    // Writes every comb's next sample and advances.
    void Push(const std::array<double, Combs>& values) {
        double* frame = samples_.data() + static_cast<std::size_t>(position_) * Combs;
        for (std::size_t i = 0; i < Combs; ++i) {
            frame[i] = values[i];
        }
        position_ = (position_ + 1) & (frames_ - 1);
    }

private:
    std::vector<double> samples_;
    std::array<double, Combs> longestRead_{};
    std::int32_t frames_ = 0;
    std::int32_t position_ = 0;
};
