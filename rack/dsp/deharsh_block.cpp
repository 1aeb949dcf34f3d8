#include "rack/dsp/deharsh_block.h"

#include <algorithm>
#include <cmath>

#include "rack/dsp/biquad_reuse.h"
#include "rack/dsp/dsp_math.h"
#include "rack/dsp/envelope_follower.h"
#include "rack/dsp/fast_math.h"
#include "rack/dsp/latency.h"

namespace {

constexpr std::array<double, 4> kBandHz = {2500.0, 3500.0, 5000.0, 7000.0};
constexpr double kBandQ = 1.5;
constexpr double kLowReferenceHz = 500.0;
constexpr double kHighReferenceHz = 12000.0;
constexpr double kReferenceQ = 0.7;
// Share of the common threshold at which each band starts to be cut.
constexpr std::array<double, 4> kThresholdShare = {1.2, 1.0, 1.0, 1.1};
constexpr double kAmountSeconds = 0.05;
constexpr double kBandRisingSeconds = 0.0005;
constexpr double kBandFallingSeconds = 0.03;
constexpr double kReferenceRisingSeconds = 0.01;
constexpr double kReferenceFallingSeconds = 0.1;
constexpr double kGainSeconds = 0.002;
constexpr double kPowerSeconds = 0.3;
constexpr double kMatchSeconds = 0.227;
constexpr double kReferenceOffset = 1e-5;
constexpr double kSmallestGain = 0.001;
// A quadratic knee 3 dB wide, then the excess less 1.5 dB, so the curve and its slope join.
constexpr double kKneeDb = 3.0;
constexpr double kKneeDivisor = 6.0;
constexpr double kAboveKneeOffsetDb = 1.5;
// The peaks narrow from Q 2 towards Q 0.7 as their cut deepens.
constexpr double kWidestQ = 2.0;
constexpr double kQPerDb = 0.05;
constexpr double kNarrowestQ = 0.7;

struct CutShape {
    double thresholdBase;
    double maxCutDb;
    double slope;
};

CutShape ShapeFor(double amount, double reference) {
    return {(reference + kReferenceOffset) * (1.4 - 0.5 * amount), 6.0 * amount + 4.0,
            1.0 - 1.0 / (2.0 * amount + 1.5)};
}

double BandGain(double envelope, double threshold, const CutShape& shape) {
    if (!(envelope > threshold)) {
        return 1.0;
    }
    const double overDb = 20.0 * Log10(envelope / threshold);
    const double kneed = overDb < kKneeDb ? overDb * overDb / kKneeDivisor : overDb - kAboveKneeOffsetDb;
    return Pow10(-std::min(shape.maxCutDb, kneed * shape.slope) / 20.0);
}

}  // namespace

DeHarshBlock::DeHarshBlock() : match_(kPowerSeconds, kMatchSeconds) {
    smoothedGains_.fill(1.0);
    designedGains_.fill(-1.0);
}

void DeHarshBlock::Prepare(double sampleRate) {
    for (std::size_t b = 0; b < kCutBands; ++b) {
        DesignBandPass(bandPasses_[b], sampleRate, kBandHz[b], kBandQ);
        const auto [cosine, sine] = AngleFor(sampleRate, kBandHz[b]);
        peakSine_[b] = sine;
        peakCosine_[b] = cosine;
    }
    DesignBandPass(lowReferencePass_, sampleRate, kLowReferenceHz, kReferenceQ);
    DesignBandPass(highReferencePass_, sampleRate, kHighReferenceHz, kReferenceQ);
    amountCoefficient_ = OnePoleCoefficient(kAmountSeconds, sampleRate);
    bandRisingCoefficient_ = OnePoleCoefficient(kBandRisingSeconds, sampleRate);
    bandFallingCoefficient_ = OnePoleCoefficient(kBandFallingSeconds, sampleRate);
    referenceRisingCoefficient_ = OnePoleCoefficient(kReferenceRisingSeconds, sampleRate);
    referenceFallingCoefficient_ = OnePoleCoefficient(kReferenceFallingSeconds, sampleRate);
    gainCoefficient_ = OnePoleCoefficient(kGainSeconds, sampleRate);
    match_.Prepare(sampleRate);
    const auto lineLength = static_cast<std::size_t>(std::max(DeHarshLookaheadSamples(sampleRate), 1));
    lineLeft_.assign(lineLength, 0.0);
    lineRight_.assign(lineLength, 0.0);
    designedGains_.fill(-1.0);
    amount_.Restart();
    Reset();
}

void DeHarshBlock::Process(double* left, double* right, std::int32_t frames) {
    const auto lineLength = static_cast<std::int32_t>(lineLeft_.size());
    if (lineLength < 1) {
        return;
    }
    for (std::int32_t i = 0; i < frames; ++i) {
        // Single precision, so a glide that ends a hair from 0 still mixes exactly dry.
        const double u = static_cast<float>(amount_.Step(amountCoefficient_));
        const double inLeft = left[i];
        const double inRight = right[i];
        // The line is exactly the look-ahead long: the oldest sample is read before the newest replaces it.
        const double dryLeft = lineLeft_[static_cast<std::size_t>(writePosition_)];
        const double dryRight = lineRight_[static_cast<std::size_t>(writePosition_)];
        lineLeft_[static_cast<std::size_t>(writePosition_)] = inLeft;
        lineRight_[static_cast<std::size_t>(writePosition_)] = inRight;

        const double mono = (inLeft + inRight) / 2.0;
        for (std::size_t b = 0; b < kCutBands; ++b) {
            bandEnvelopes_[b] = FollowEnvelope(bandEnvelopes_[b], std::fabs(bandPasses_[b].Run(mono)),
                                               bandRisingCoefficient_, bandFallingCoefficient_);
        }
        lowReferenceEnvelope_ = FollowEnvelope(lowReferenceEnvelope_, std::fabs(lowReferencePass_.Run(mono)),
                                               referenceRisingCoefficient_, referenceFallingCoefficient_);
        highReferenceEnvelope_ = FollowEnvelope(highReferenceEnvelope_, std::fabs(highReferencePass_.Run(mono)),
                                                referenceRisingCoefficient_, referenceFallingCoefficient_);
        const CutShape shape = ShapeFor(u, std::sqrt(lowReferenceEnvelope_ * highReferenceEnvelope_));

        StereoSample wet{dryLeft, dryRight};
        for (std::size_t b = 0; b < kCutBands; ++b) {
            const double gain = BandGain(bandEnvelopes_[b], kThresholdShare[b] * shape.thresholdBase, shape);
            smoothedGains_[b] = SmoothTowards(smoothedGains_[b], gain, gainCoefficient_);
            if (smoothedGains_[b] != designedGains_[b]) {
                designedGains_[b] = smoothedGains_[b];
                // 10^(cut dB / 40) of a cut of 20 log10(gain) dB is the gain's square root.
                const double limited = std::max(smoothedGains_[b], kSmallestGain);
                const double cutDb = 20.0 * Log10(limited);
                const double q = std::max(kWidestQ - kQPerDb * std::fabs(cutDb), kNarrowestQ);
                DesignPeakWithOneDivision(peaks_[b], peakCosine_[b], peakSine_[b] / (2.0 * q), std::sqrt(limited));
            }
            wet = peaks_[b].Run(wet);
        }
        const double wetLeft = wet[0];
        const double wetRight = wet[1];

        const double gain = match_.Update((inLeft * inLeft + inRight * inRight) / 2.0,
                                          (wetLeft * wetLeft + wetRight * wetRight) / 2.0);
        right[i] = u * gain * wetRight + (1.0 - u) * dryRight;
        left[i] = u * gain * wetLeft + (1.0 - u) * dryLeft;
        if (++writePosition_ == lineLength) {
            writePosition_ = 0;
        }
    }
}

void DeHarshBlock::Reset() {
    for (std::size_t b = 0; b < kCutBands; ++b) {
        bandPasses_[b].Clear();
        peaks_[b].Clear();
    }
    lowReferencePass_.Clear();
    highReferencePass_.Clear();
    bandEnvelopes_.fill(0.0);
    lowReferenceEnvelope_ = 0.0;
    highReferenceEnvelope_ = 0.0;
    smoothedGains_.fill(1.0);
    std::fill(lineLeft_.begin(), lineLeft_.end(), 0.0);
    std::fill(lineRight_.begin(), lineRight_.end(), 0.0);
    writePosition_ = 0;
    match_.Reset();
}

void DeHarshBlock::Release() {
    std::vector<double>().swap(lineLeft_);
    std::vector<double>().swap(lineRight_);
}
