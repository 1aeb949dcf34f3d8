#pragma once

#include <algorithm>
#include <array>
#include <cmath>
#include <cstdint>

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
