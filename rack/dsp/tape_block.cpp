#include "rack/dsp/tape_block.h"

#include <cmath>

#include "rack/dsp/clamp_unit.h"
#include "rack/dsp/dsp_math.h"

namespace {

constexpr double kSmoothSeconds = 0.02;
constexpr double kAttackSeconds = 0.008;
constexpr double kReleaseSeconds = 0.15;
constexpr double kDcBlockerHz = 5.0;
// Below this smoothed amount frames pass untouched.
constexpr double kActiveAmount = 0.01;
// Coefficients follow the smoothed amount every 32 processed frames.
constexpr std::uint32_t kRefreshMask = 31;

constexpr double kLowShelfHz = 80.0;
constexpr double kLowShelfDbPerAmount = 4.0;
constexpr double kLowShelfSlope = 0.7071;
constexpr double kLowPassTopHz = 20000.0;
constexpr double kLowPassFallHzPerAmount = 10000.0;
constexpr double kLowPassFloorHz = 8000.0;
constexpr double kLowPassQ = 0.707;
constexpr double kPresenceHz = 2500.0;
constexpr double kPresenceDbPerAmount = 2.0;
constexpr double kPresenceQ = 1.5;
constexpr double kThresholdDb = -6.0;
constexpr double kThresholdDbPerAmount = -18.0;
constexpr double kKneeHalfWidthDb = 6.0;
constexpr double kMakeupShare = 0.95;
constexpr double kLevelFloor = 1e-9;

// Soft-knee gain change in dB for a level `overDb` above the threshold.
double CompressorGainDb(double overDb, double slope) {
    if (overDb <= -kKneeHalfWidthDb) {
        return 0.0;
    }
    if (overDb < kKneeHalfWidthDb) {
        const double intoKnee = overDb + kKneeHalfWidthDb;
        return intoKnee * intoKnee * slope / (4.0 * kKneeHalfWidthDb);
    }
    return slope * overDb;
}

}  // namespace

void TapeBlock::Prepare(double sampleRate) {
    sampleRate_ = sampleRate;
    smoothCoef_ = OnePoleCoefficient(kSmoothSeconds, sampleRate);
    attackCoef_ = std::exp(-1.0 / (kAttackSeconds * sampleRate));
    releaseCoef_ = std::exp(-1.0 / (kReleaseSeconds * sampleRate));
    dcState_ = {};
    envelope_ = 0.0;
    sampleCounter_ = 0;
    Design(ClampToUnit(amount_));
}

void TapeBlock::SetAmount(double amount) {
    amount_ = amount;
    Design(ClampToUnit(amount));
}

void TapeBlock::Design(double x) {
    Biquad design;
    DesignLowShelf(design, sampleRate_, kLowShelfHz, kLowShelfSlope, kLowShelfDbPerAmount * x);
    lowShelf_.SetCoefficients(design);
    DesignLowPass(design, sampleRate_, std::max(kLowPassFloorHz, kLowPassTopHz - kLowPassFallHzPerAmount * x),
                  kLowPassQ);
    lowPass_.SetCoefficients(design);
    DesignPeak(design, sampleRate_, kPresenceHz, kPresenceQ, kPresenceDbPerAmount * x);
    presence_.SetCoefficients(design);

    thresholdDb_ = kThresholdDb + kThresholdDbPerAmount * x;
    slope_ = 1.0 / (0.5 * x + 1.5) - 1.0;
    // Makes up 95 % of the gain change of a -12 dB level, whatever the threshold.
    const double w = 18.0 * x - 6.0;
    makeupGain_ = DbToGain(-kMakeupShare * CompressorGainDb(w, slope_));
    saturationMix_ = 0.7 * x;
    drive_ = 2.5 * x + 1.0;
}

void TapeBlock::SkipFrames(std::int64_t frames) {
    if (smoothAmount_ >= kActiveAmount) {
        sampleCounter_ += static_cast<std::uint32_t>(frames & kRefreshMask);
    }
}

void TapeBlock::Process(double* left, double* right, std::int32_t frames) {
    const double a = ClampToUnit(amount_);
    const double dcCoef = 1.0 - std::exp(-kTwoPi * kDcBlockerHz / sampleRate_);
    for (std::int32_t i = 0; i < frames; ++i) {
        smoothAmount_ = SmoothTowards(smoothAmount_, a, smoothCoef_);
        if (smoothAmount_ < kActiveAmount) {
            continue;
        }
        if ((sampleCounter_ & kRefreshMask) == 0) {
            Design(smoothAmount_);
        }
        ++sampleCounter_;

        const StereoSample shelved = lowShelf_.Run({left[i], right[i]});
        const double level = std::fabs((shelved[0] + shelved[1]) / 2.0);
        const double k = envelope_ < level ? attackCoef_ : releaseCoef_;
        envelope_ = (1.0 - k) * level + k * envelope_;
        const double overDb = 20.0 * std::log10(envelope_ + kLevelFloor) - thresholdDb_;
        const double gain = DbToGain(CompressorGainDb(overDb, slope_)) * makeupGain_;

        StereoSample saturated;
        for (std::size_t c = 0; c < 2; ++c) {
            const double driven = drive_ * shelved[c] * gain;
            const double d = driven >= 0.0 ? 1.2 : 1.1;
            saturated[c] = (std::tanh(d * driven) / d * saturationMix_ + (1.0 - saturationMix_) * driven) / drive_;
        }
        StereoSample out = presence_.Run(lowPass_.Run(saturated));
        for (std::size_t c = 0; c < 2; ++c) {
            dcState_[c] = dcCoef * out[c] + (1.0 - dcCoef) * dcState_[c];
            out[c] -= dcState_[c];
        }
        right[i] = out[1];
        left[i] = out[0];
    }
}

void TapeBlock::Reset() {
    lowShelf_.Clear();
    lowPass_.Clear();
    presence_.Clear();
    dcState_ = {};
}
