#include "rack/dsp/deesser_block.h"

#include <algorithm>
#include <cmath>

#include "rack/dsp/dsp_math.h"
#include "rack/dsp/fast_math.h"
#include "rack/dsp/envelope_follower.h"

namespace {

constexpr double kAmountSeconds = 0.02;
constexpr double kRisingSeconds = 0.001;
constexpr double kFallingSeconds = 0.05;
// Two sections of a fourth-order Butterworth high-pass.
constexpr double kDetectorHz = 4800.0;
constexpr double kDetectorLowQ = 0.5411961;
constexpr double kDetectorHighQ = 1.306563;
constexpr double kLowBandHz = 5400.0;
constexpr double kHighBandHz = 8000.0;
constexpr double kBandQ = 0.9;
constexpr double kBypassBelowAmount = 0.001;
// The threshold falls from -30 dB at amount 0 to -48 dB at amount 1.
constexpr double kThresholdAtZero = 0.0316227766;
constexpr double kThresholdFallDecades = 0.9;
constexpr double kSmallestGain = 0.05;

// Gain of the band-passed part: 1 up to the threshold, then a ratio that steepens with the amount.
double CutGain(double envelope, double amount) {
    const double shaped = amount * amount;
    const double threshold = kThresholdAtZero * std::pow(10.0, -kThresholdFallDecades * shaped);
    if (!(envelope > threshold)) {
        return 1.0;
    }
    const double overDb = 20.0 * Log10(envelope / threshold);
    return std::max(kSmallestGain, std::pow(10.0, -overDb * (1.0 - 1.0 / (12.0 * shaped + 4.0)) * amount / 20.0));
}

}  // namespace

void DeEsserBlock::Prepare(double sampleRate) {
    amountCoefficient_ = OnePoleCoefficient(kAmountSeconds, sampleRate);
    risingCoefficient_ = OnePoleCoefficient(kRisingSeconds, sampleRate);
    fallingCoefficient_ = OnePoleCoefficient(kFallingSeconds, sampleRate);
    DesignHighPass(detectorLow_, sampleRate, kDetectorHz, kDetectorLowQ);
    DesignHighPass(detectorHigh_, sampleRate, kDetectorHz, kDetectorHighQ);
    DesignBandPass(lowBandLeft_, sampleRate, kLowBandHz, kBandQ);
    DesignBandPass(highBandLeft_, sampleRate, kHighBandHz, kBandQ);
    lowBandRight_ = lowBandLeft_;
    highBandRight_ = highBandLeft_;
    Reset();
}

void DeEsserBlock::Process(double* left, double* right, std::int32_t frames) {
    for (std::int32_t i = 0; i < frames; ++i) {
        amount_ = SmoothTowards(amount_, amountTarget_, amountCoefficient_);
        if (amount_ < kBypassBelowAmount) {
            continue;
        }
        const double inLeft = left[i];
        const double inRight = right[i];
        const double detected = detectorHigh_.Run(detectorLow_.Run((inLeft + inRight) / 2.0));
        envelope_ = FollowEnvelope(envelope_, std::fabs(detected), risingCoefficient_, fallingCoefficient_);
        bandGain_ = CutGain(envelope_, amount_);
        const double cut = 1.0 - bandGain_;
        const double midLeft = inLeft - lowBandLeft_.Run(inLeft) * cut;
        const double midRight = inRight - lowBandRight_.Run(inRight) * cut;
        right[i] = midRight - highBandRight_.Run(midRight) * cut;
        left[i] = midLeft - highBandLeft_.Run(midLeft) * cut;
    }
}

void DeEsserBlock::Reset() {
    detectorLow_.Clear();
    detectorHigh_.Clear();
    lowBandLeft_.Clear();
    highBandLeft_.Clear();
    lowBandRight_.Clear();
    highBandRight_.Clear();
    envelope_ = 0.0;
    bandGain_ = 1.0;
}
