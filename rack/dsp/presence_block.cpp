#include "rack/dsp/presence_block.h"

#include <cmath>

#include "rack/dsp/biquad_reuse.h"
#include "rack/dsp/dsp_math.h"
#include "rack/dsp/envelope_follower.h"
#include "rack/dsp/fast_math.h"

namespace {

constexpr double kAmountSeconds = 0.05;
constexpr double kAttackSeconds = 0.001;
constexpr double kReleaseSeconds = 0.05;
constexpr double kLiftHz = 3500.0;
constexpr double kLiftQ = 1.3;
// The lift shrinks from 7 dB on a quiet band to 7/9 dB when the band's envelope reaches full scale.
constexpr double kLiftDb = 7.0;
constexpr double kLiftBackOff = 8.0;
constexpr double kAirHz = 10000.0;
constexpr double kAirSlope = 1.0;
constexpr double kAirDb = 8.0;
constexpr double kDipHz = 400.0;
constexpr double kDipQ = 1.5;
constexpr double kDipDb = -5.0;
constexpr double kBypassBelowAmount = 0.01;
constexpr double kRedesignTolerance = 1e-9;
constexpr double kSaturationFromAmount = 0.15;
constexpr double kSaturationDepth = 0.2;
// The saturation reaches its full depth over the amounts from 0.15 to 1.
constexpr double kSaturationRange = 0.85;
constexpr double kSaturationDrive = 3.0;

}  // namespace

void PresenceBlock::Prepare(double sampleRate) {
    sampleRate_ = sampleRate;
    amountCoefficient_ = OnePoleCoefficient(kAmountSeconds, sampleRate);
    attackCoefficient_ = OnePoleCoefficient(kAttackSeconds, sampleRate);
    releaseCoefficient_ = OnePoleCoefficient(kReleaseSeconds, sampleRate);
    const auto [cosine, sine] = AngleFor(sampleRate, kLiftHz);
    liftCosine_ = cosine;
    liftAlpha_ = sine / (2.0 * kLiftQ);
    for (Channel& channel : channels_) {
        DesignBandPass(channel.detector, sampleRate, kLiftHz, kLiftQ);
        DesignPeakFromAngle(channel.dynamicPeak, liftCosine_, liftAlpha_, 0.0);
        DesignHighShelf(channel.airShelf, sampleRate, kAirHz, kAirSlope, 0.0);
        DesignPeak(channel.lowMidDip, sampleRate, kDipHz, kDipQ, 0.0);
    }
    Reset();
}

void PresenceBlock::DesignAmountFilters() {
    designedAmount_ = amount_;
    Channel& first = channels_[0];
    DesignHighShelf(first.airShelf, sampleRate_, kAirHz, kAirSlope, kAirDb * amount_);
    DesignPeak(first.lowMidDip, sampleRate_, kDipHz, kDipQ, kDipDb * amount_);
    CopyCoefficients(first.airShelf, channels_[1].airShelf);
    CopyCoefficients(first.lowMidDip, channels_[1].lowMidDip);
}

double PresenceBlock::RunChannel(Channel& channel, double x) {
    channel.envelope = FollowEnvelope(channel.envelope, std::fabs(channel.detector.Run(x)), attackCoefficient_,
                                      releaseCoefficient_);
    DesignPeakFromAmplitude(channel.dynamicPeak, liftCosine_, liftAlpha_,
                            Pow10(kLiftDb * amount_ / (kLiftBackOff * channel.envelope + 1.0) / 40.0));
    double y = channel.lowMidDip.Run(channel.airShelf.Run(channel.dynamicPeak.Run(x)));
    if (amount_ > kSaturationFromAmount) {
        const double driven = kSaturationDrive * y;
        y += driven / (std::fabs(driven) + 1.0) *
             ((amount_ - kSaturationFromAmount) * kSaturationDepth / kSaturationRange);
    }
    return y;
}

void PresenceBlock::Process(double* left, double* right, std::int32_t frames) {
    for (std::int32_t i = 0; i < frames; ++i) {
        amount_ = SmoothTowards(amount_, amountTarget_, amountCoefficient_);
        if (amount_ < kBypassBelowAmount) {
            continue;
        }
        if (std::fabs(amount_ - designedAmount_) > kRedesignTolerance) {
            DesignAmountFilters();
        }
        const double inLeft = left[i];
        const double inRight = right[i];
        const double outLeft = RunChannel(channels_[0], inLeft);
        right[i] = RunChannel(channels_[1], inRight);
        left[i] = outLeft;
    }
}

void PresenceBlock::Reset() {
    for (Channel& channel : channels_) {
        channel.detector.Clear();
        channel.dynamicPeak.Clear();
        channel.airShelf.Clear();
        channel.lowMidDip.Clear();
        channel.envelope = 0.0;
    }
    designedAmount_ = -1.0;
}
