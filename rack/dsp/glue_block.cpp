#include "rack/dsp/glue_block.h"

#include <algorithm>
#include <cmath>

#include "rack/dsp/dsp_math.h"
#include "rack/dsp/fast_math.h"

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
    DesignHighShelf(highShelfLeft_, sampleRate_, kHighShelfHz, kShelfSlope, kHighShelfDbAtFullAmount * u);
    DesignHighShelf(highShelfRight_, sampleRate_, kHighShelfHz, kShelfSlope, kHighShelfDbAtFullAmount * u);
    DesignLowShelf(lowShelfLeft_, sampleRate_, kLowShelfHz, kShelfSlope, kLowShelfDbAtFullAmount * u);
    DesignLowShelf(lowShelfRight_, sampleRate_, kLowShelfHz, kShelfSlope, kLowShelfDbAtFullAmount * u);
}

void GlueBlock::Process(double* left, double* right, std::int32_t frames) {
    if (std::fabs(amountTarget_ - shelfAmount_) > kShelfRedesignTolerance) {
        shelfAmount_ = amountTarget_;
        DesignShelves();
    }
    for (std::int32_t i = 0; i < frames; ++i) {
        amount_ = SmoothTowards(amount_, amountTarget_, amountCoefficient_);
        if (amount_ < kBypassBelowAmount) {
            continue;
        }
        const double b = amount_;
        const double inLeft = left[i];
        const double inRight = right[i];

        const double detected = (std::fabs(inLeft) + std::fabs(inRight)) / 2.0;
        detectorLevel_ = SmoothTowards(detectorLevel_, detected,
                                       detected > detectorLevel_ ? detectorAttackCoefficient_ : detectorReleaseCoefficient_);

        const double threshold = kLevellerThreshold - kLevellerThresholdSpan * b;
        if (detectorLevel_ > threshold) {
            const double levelled = threshold + (detectorLevel_ - threshold) / (2.0 + 2.0 * b);
            levellerGain_ = kLevellerKeepAbove * levellerGain_ +
                            kLevellerStepAbove * levelled / std::max(detectorLevel_, kLevelFloor);
        } else {
            levellerGain_ = kLevellerKeepBelow * levellerGain_ + kLevellerStepBelow;
        }

        double l = lowShelfLeft_.Run(highShelfLeft_.Run(inLeft * levellerGain_));
        double r = lowShelfRight_.Run(highShelfRight_.Run(inRight * levellerGain_));

        if (0.2 * b >= 0.001) {
            const double drive = 1.0 + kSoftClipDrivePerAmount * b;
            // The ceiling moves only while the amount glides.
            if (drive != ceilingDrive_) {
                ceilingDrive_ = drive;
                ceiling_ = std::tanh(drive);
            }
            l = FastTanh(drive * l) / ceiling_;
            r = FastTanh(drive * r) / ceiling_;
        }

        outputPower_ = SmoothTowards(outputPower_, (l * l + r * r) / 2.0, powerCoefficient_);
        inputPower_ = SmoothTowards(inputPower_, (inLeft * inLeft + inRight * inRight) / 2.0, powerCoefficient_);
        if (inputPower_ > kPowerFloor && outputPower_ > kPowerFloor) {
            const double wanted = std::clamp(std::sqrt(inputPower_ / outputPower_), kMatchGainMin, kMatchGainMax);
            matchGain_ = SmoothTowards(matchGain_, wanted,
                                       matchGain_ < wanted ? matchRiseCoefficient_ : matchFallCoefficient_);
        }
        l *= matchGain_;
        r *= matchGain_;

        dcStateLeft_ += (l - dcStateLeft_) * dcCoefficient_;
        dcStateRight_ += (r - dcStateRight_) * dcCoefficient_;
        right[i] = r - dcStateRight_;
        left[i] = l - dcStateLeft_;
    }
}

void GlueBlock::Reset() {
    highShelfLeft_.Clear();
    highShelfRight_.Clear();
    lowShelfLeft_.Clear();
    lowShelfRight_.Clear();
    inputPower_ = 0.0;
    outputPower_ = 0.0;
    dcStateLeft_ = 0.0;
    dcStateRight_ = 0.0;
    detectorLevel_ = 1.0;
    levellerGain_ = 1.0;
    matchGain_ = 1.0;
}
