#include "rack/dsp/glue_block.h"

#include <algorithm>
#include <array>
#include <cmath>

#include "rack/dsp/dsp_math.h"
#include "rack/dsp/fast_math.h"
#include "rack/dsp/stereo_tanh.h"
#include "rack/dsp/stereo_frames.h"

namespace {

constexpr double kDefaultSampleRate = 48000.0;
constexpr double kAmountSmoothingSeconds = 0.02;
constexpr double kDetectorAttackSeconds = 0.03;
constexpr double kDetectorReleaseSeconds = 0.1;
constexpr double kPowerAveragingSeconds = 0.1;
constexpr double kMatchRiseSeconds = 0.05;
constexpr double kMatchFallSeconds = 0.01;
constexpr double kDcBlockerHz = 1.0;
constexpr double kHighShelfHz = 12000.0;
constexpr double kHighShelfDbAtFullAmount = 4.0;
constexpr double kLowShelfHz = 100.0;
constexpr double kLowShelfDbAtFullAmount = -2.5;
constexpr double kShelfSlope = 1.0;
constexpr double kShelfRedesignTolerance = 1e-6;
constexpr double kBypassBelowAmount = 0.001;
// Leveller threshold runs linearly from 0.5 at amount 0 to 0.08 at amount 1; the ratio from 2 to 4.
constexpr double kLevellerThreshold = 0.5;
constexpr double kLevellerThresholdSpan = 0.42;
// Per-frame steps of the leveller gain: towards the levelled gain above the threshold, back to 1 below it.
constexpr double kLevellerKeepAbove = 0.97;
constexpr double kLevellerStepAbove = 0.03;
constexpr double kLevellerKeepBelow = 0.99;
constexpr double kLevellerStepBelow = 0.01;
constexpr double kLevelFloor = 0.0001;
constexpr double kSoftClipDrivePerAmount = 0.4;
constexpr double kPowerFloor = 1e-10;
constexpr double kMatchGainMin = 0.25;
constexpr double kMatchGainMax = 4.0;

}  // namespace

GlueBlock::GlueBlock() {
    Prepare(kDefaultSampleRate);
}

void GlueBlock::Prepare(double sampleRate) {
    sampleRate_ = sampleRate;
    amountCoefficient_ = OnePoleCoefficient(kAmountSmoothingSeconds, sampleRate);
    detectorAttackCoefficient_ = OnePoleCoefficient(kDetectorAttackSeconds, sampleRate);
    detectorReleaseCoefficient_ = OnePoleCoefficient(kDetectorReleaseSeconds, sampleRate);
    powerCoefficient_ = OnePoleCoefficient(kPowerAveragingSeconds, sampleRate);
    matchRiseCoefficient_ = OnePoleCoefficient(kMatchRiseSeconds, sampleRate);
    matchFallCoefficient_ = OnePoleCoefficient(kMatchFallSeconds, sampleRate);
    dcCoefficient_ = 1.0 - std::exp(-kTwoPi * kDcBlockerHz / sampleRate);
    DesignShelves();
    Reset();
}

void GlueBlock::DesignShelves() {
    const double u = amountTarget_;
    Biquad design;
    DesignHighShelf(design, sampleRate_, kHighShelfHz, kShelfSlope, kHighShelfDbAtFullAmount * u);
    highShelf_.SetCoefficients(design);
    DesignLowShelf(design, sampleRate_, kLowShelfHz, kShelfSlope, kLowShelfDbAtFullAmount * u);
    lowShelf_.SetCoefficients(design);
}

void GlueBlock::Process(double* left, double* right, std::int32_t frames) {
    if (std::fabs(amountTarget_ - shelfAmount_) > kShelfRedesignTolerance) {
        shelfAmount_ = amountTarget_;
        DesignShelves();
    }
    for (std::int32_t start = 0; start < frames; start += kStereoChunkFrames) {
        const std::int32_t count = std::min(kStereoChunkFrames, frames - start);
        // Once the smoothed amount has reached its resting value it stays there, and so does
        // everything it sets: the chunk needs none of the per-frame bookkeeping of a glide.
        const bool resting = SmoothTowards(amount_, amountTarget_, amountCoefficient_) == amount_;
        if (resting && amount_ >= kBypassBelowAmount) {
            ProcessChunk<false>(left + start, right + start, count);
        } else if (!resting) {
            ProcessChunk<true>(left + start, right + start, count);
        }
    }
}

// Stage by stage: the recurrences run in three loops (detector, leveller and shelves; power
// averages; match gain and DC blocker), the soft clip's tanh and the match's square root over the
// chunk at throughput between them. While the amount glides, a frame below the bypass passes
// untouched and moves no state but the amount.
template <bool Gliding>
void GlueBlock::ProcessChunk(double* left, double* right, std::int32_t frames) {
    const auto count = static_cast<std::size_t>(frames);
    std::array<double, kStereoChunkFrames> amounts;
    std::array<bool, kStereoChunkFrames> active;
    std::array<StereoFrame, kStereoChunkFrames> shaped;
    StereoSection highShelf(highShelf_);
    StereoSection lowShelf(lowShelf_);
    bool anyActive = !Gliding;
    // The amount holds but while it glides, and so does the leveller ratio's reciprocal.
    double ratioAmount = amount_;
    double inverseRatio = 1.0 / (2.0 + 2.0 * amount_);
    for (std::size_t i = 0; i < count; ++i) {
        double b = amount_;
        if constexpr (Gliding) {
            amount_ = SmoothTowards(amount_, amountTarget_, amountCoefficient_);
            b = amount_;
            amounts[i] = b;
            active[i] = b >= kBypassBelowAmount;
            if (!active[i]) {
                continue;
            }
            anyActive = true;
            if (b != ratioAmount) {
                ratioAmount = b;
                inverseRatio = 1.0 / (2.0 + 2.0 * b);
            }
        }
        const double detected = (std::fabs(left[i]) + std::fabs(right[i])) / 2.0;
        detectorLevel_ = SmoothTowards(detectorLevel_, detected,
                                       detected > detectorLevel_ ? detectorAttackCoefficient_ : detectorReleaseCoefficient_);

        const double threshold = kLevellerThreshold - kLevellerThresholdSpan * b;
        if (detectorLevel_ > threshold) {
            const double levelled = threshold + (detectorLevel_ - threshold) * inverseRatio;
            levellerGain_ = kLevellerKeepAbove * levellerGain_ +
                            kLevellerStepAbove * levelled / std::max(detectorLevel_, kLevelFloor);
        } else {
            levellerGain_ = kLevellerKeepBelow * levellerGain_ + kLevellerStepBelow;
        }
        shaped[i] = lowShelf.Run(highShelf.Run(StereoFrame{left[i], right[i]} * BothChannels(levellerGain_)));
    }
    highShelf.KeepStateIn(highShelf_);
    lowShelf.KeepStateIn(lowShelf_);
    if (!anyActive) {
        return;
    }
    const auto frameActive = [&](std::size_t i) { return !Gliding || active[i]; };

    for (std::size_t i = 0; i < count; ++i) {
        const double b = Gliding ? amounts[i] : amount_;
        if (frameActive(i) && 0.2 * b >= 0.001) {
            const double drive = 1.0 + kSoftClipDrivePerAmount * b;
            // The ceiling moves only while the amount glides.
            if (drive != ceilingDrive_) {
                ceilingDrive_ = drive;
                inverseCeiling_ = 1.0 / FastTanh(drive);
            }
            shaped[i] = StereoTanh(BothChannels(drive) * shaped[i]) * BothChannels(inverseCeiling_);
        }
    }

    // The power ratio of every frame whose averages are both above the floor (1 for the others).
    std::array<double, kStereoChunkFrames> ratios;
    std::array<bool, kStereoChunkFrames> matched;
    for (std::size_t i = 0; i < count; ++i) {
        ratios[i] = 1.0;
        matched[i] = false;
        if (!frameActive(i)) {
            continue;
        }
        const double l = shaped[i][0];
        const double r = shaped[i][1];
        outputPower_ = SmoothTowards(outputPower_, (l * l + r * r) / 2.0, powerCoefficient_);
        inputPower_ = SmoothTowards(inputPower_, (left[i] * left[i] + right[i] * right[i]) / 2.0, powerCoefficient_);
        if (inputPower_ > kPowerFloor && outputPower_ > kPowerFloor) {
            ratios[i] = inputPower_ / outputPower_;
            matched[i] = true;
        }
    }
    std::array<double, kStereoChunkFrames> wanted;
    for (std::size_t i = 0; i < count; ++i) {
        wanted[i] = std::clamp(std::sqrt(ratios[i]), kMatchGainMin, kMatchGainMax);
    }
    StereoFrame dc{dcStateLeft_, dcStateRight_};
    const StereoFrame dcCoefficient = BothChannels(dcCoefficient_);
    for (std::size_t i = 0; i < count; ++i) {
        if (matched[i]) {
            matchGain_ = SmoothTowards(matchGain_, wanted[i],
                                       matchGain_ < wanted[i] ? matchRiseCoefficient_ : matchFallCoefficient_);
        }
        if (!frameActive(i)) {
            continue;
        }
        const StereoFrame levelled = shaped[i] * BothChannels(matchGain_);
        dc += (levelled - dc) * dcCoefficient;
        const StereoFrame out = levelled - dc;
        right[i] = out[1];
        left[i] = out[0];
    }
    dcStateLeft_ = dc[0];
    dcStateRight_ = dc[1];
}

void GlueBlock::Reset() {
    highShelf_.Clear();
    lowShelf_.Clear();
    inputPower_ = 0.0;
    outputPower_ = 0.0;
    dcStateLeft_ = 0.0;
    dcStateRight_ = 0.0;
    detectorLevel_ = 1.0;
    levellerGain_ = 1.0;
    matchGain_ = 1.0;
}
