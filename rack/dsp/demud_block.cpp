#include "rack/dsp/demud_block.h"

#include <algorithm>
#include <cmath>
#include <limits>

#include "rack/dsp/biquad_reuse.h"
#include "rack/dsp/dsp_math.h"
#include "rack/dsp/envelope_follower.h"
#include "rack/dsp/fast_math.h"

namespace {

constexpr std::array<double, 5> kDetectorHz = {200.0, 280.0, 360.0, 110.0, 1300.0};
constexpr std::array<double, 5> kDetectorQ = {1.6, 1.6, 3.0, 2.0, 2.0};
constexpr std::size_t kLowReference = 3;
constexpr std::size_t kHighReference = 4;
constexpr double kPeakQ = 1.6;
constexpr double kMatchHighPassHz = 700.0;
constexpr double kMatchHighPassQ = 0.7071067811865476;
constexpr double kAmountSeconds = 0.05;
constexpr double kRisingSeconds = 0.015;
constexpr double kFallingSeconds = 0.12;
constexpr double kCutSeconds = 0.06;
constexpr double kPowerSeconds = 0.1;
constexpr double kMatchSeconds = 0.05;
// Compared in single precision, so the bypass does not hinge on the last bits of a gliding amount.
constexpr float kBypassBelowAmount = 0.01f;
constexpr double kLevelFloor = 1e-6;
constexpr double kLogLevelFloor = -6.0;
// Each cut band's reference is the level expected at its place on a straight line, in log frequency,
// between the 110 Hz and the 1300 Hz bands.
constexpr std::array<double, 3> kLowReferenceWeight = {0.7579253657116222, 0.6216818854229742, 0.5199202877958615};
constexpr std::array<double, 3> kHighReferenceWeight = {0.24207463428837786, 0.3783181145770258, 0.4800797122041384};
constexpr double kExcessThresholdDb = 1.0;
constexpr double kCutSlope = 2.5;
constexpr double kDeepestCutDb = -12.0;

double LogLevel(double envelope) {
    return envelope > kLevelFloor ? Log10(envelope) : kLogLevelFloor;
}

// Cut for a band that stands `excessDb` above its reference: none up to 1 dB, then steeply towards
// the excess itself, scaled by the amount and never deeper than 12 dB.
double TargetCutDb(double excessDb, double amount) {
    if (!(excessDb > kExcessThresholdDb)) {
        return 0.0;
    }
    return std::max(-(std::min(kCutSlope * (excessDb - kExcessThresholdDb), excessDb) * amount), kDeepestCutDb);
}

}  // namespace

DeMudBlock::DeMudBlock() : match_(kPowerSeconds, kMatchSeconds) {
    designedCutDb_.fill(std::numeric_limits<double>::quiet_NaN());
}

void DeMudBlock::Prepare(double sampleRate) {
    for (std::size_t b = 0; b < detectors_.size(); ++b) {
        DesignBandPass(detectors_[b], sampleRate, kDetectorHz[b], kDetectorQ[b]);
    }
    DesignHighPass(inputHighPass_, sampleRate, kMatchHighPassHz, kMatchHighPassQ);
    DesignHighPass(outputHighPass_, sampleRate, kMatchHighPassHz, kMatchHighPassQ);
    for (std::size_t b = 0; b < kCutBands; ++b) {
        const auto [cosine, sine] = AngleFor(sampleRate, kDetectorHz[b]);
        peakAlpha_[b] = sine / (2.0 * kPeakQ);
        peakCosine_[b] = cosine;
    }
    amountCoefficient_ = OnePoleCoefficient(kAmountSeconds, sampleRate);
    risingCoefficient_ = OnePoleCoefficient(kRisingSeconds, sampleRate);
    fallingCoefficient_ = OnePoleCoefficient(kFallingSeconds, sampleRate);
    cutCoefficient_ = OnePoleCoefficient(kCutSeconds, sampleRate);
    match_.Prepare(sampleRate);
    designedCutDb_.fill(std::numeric_limits<double>::quiet_NaN());
    amount_.Restart();
    Reset();
}

void DeMudBlock::Process(double* left, double* right, std::int32_t frames) {
    for (std::int32_t i = 0; i < frames; ++i) {
        const double amount = amount_.Step(amountCoefficient_);
        if (static_cast<float>(amount) < kBypassBelowAmount) {
            continue;
        }
        const double inLeft = left[i];
        const double inRight = right[i];
        const double mono = (inLeft + inRight) / 2.0;
        for (std::size_t b = 0; b < detectors_.size(); ++b) {
            envelopes_[b] = FollowEnvelope(envelopes_[b], std::fabs(detectors_[b].Run(mono)), risingCoefficient_,
                                           fallingCoefficient_);
        }
        const double lowReference = LogLevel(envelopes_[kLowReference]);
        const double highReference = LogLevel(envelopes_[kHighReference]);

        StereoSample out{inLeft, inRight};
        for (std::size_t b = 0; b < kCutBands; ++b) {
            const double excessDb = 20.0 * (Log10(std::max(envelopes_[b], kLevelFloor)) -
                                             kLowReferenceWeight[b] * lowReference -
                                             kHighReferenceWeight[b] * highReference);
            cutDb_[b] = SmoothTowards(cutDb_[b], TargetCutDb(excessDb, amount), cutCoefficient_);
            if (!(cutDb_[b] == designedCutDb_[b])) {
                designedCutDb_[b] = cutDb_[b];
                DesignPeakWithOneDivision(peaks_[b], peakCosine_[b], peakAlpha_[b], Pow10(cutDb_[b] / 40.0));
            }
            out = peaks_[b].Run(out);
        }
        const double outLeft = out[0];
        const double outRight = out[1];

        const double inputHigh = inputHighPass_.Run(mono);
        const double outputHigh = outputHighPass_.Run((outLeft + outRight) / 2.0);
        const double gain = match_.Update(inputHigh * inputHigh, outputHigh * outputHigh);
        right[i] = outRight * gain;
        left[i] = outLeft * gain;
    }
}

void DeMudBlock::Reset() {
    for (Biquad& filter : detectors_) {
        filter.Clear();
    }
    inputHighPass_.Clear();
    outputHighPass_.Clear();
    ClearChain(peaks_);
    envelopes_.fill(0.0);
    cutDb_.fill(0.0);
    match_.Reset();
}
