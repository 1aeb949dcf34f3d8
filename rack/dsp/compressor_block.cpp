#include "rack/dsp/compressor_block.h"

#include <algorithm>
#include <array>
#include <cmath>

#include "rack/dsp/dsp_math.h"
#include "rack/dsp/fast_math.h"
#include "rack/dsp/stereo_frames.h"

namespace {

constexpr double kAmountSmoothingSeconds = 0.03;
constexpr double kGainSmoothingSeconds = 0.005;
constexpr double kSlowMakeupSeconds = 0.1;
constexpr double kFastMakeupSeconds = 0.01;
constexpr double kSideChainLowPassHz = 10000.0;
constexpr double kSideChainQ = 0.707;
constexpr double kBypassBelowAmount = 0.001;
constexpr double kAmountMovingTolerance = 1e-8;
constexpr double kThresholdAtFullAmountDb = -54.0;
constexpr double kMakeupDb = 1.0;
constexpr double kSilenceDb = -100.0;
constexpr double kLevelFloor = 1e-10;
constexpr double kAttackMinMs = 0.1;
constexpr double kAttackMaxMs = 100.0;
constexpr double kReleaseMinMs = 20.0;
constexpr double kReleaseMaxMs = 1000.0;

struct Character {
    double ratioBase;
    double kneeBaseDb;
    double saturation;
    double sideChainHighPassHz;
};

// The timing formulas of each row live in AttackMs and ReleaseMs below.
constexpr std::array<Character, 4> kCharacters = {{
    {3.0, 12.0, 0.1, 80.0},
    {4.0, 6.0, 0.05, 60.0},
    {6.0, 3.0, 0.2, 100.0},
    {2.5, 18.0, 0.15, 50.0},
}};

int ClampCharacter(std::int32_t character) {
    return std::clamp(character, 0, static_cast<std::int32_t>(kCharacters.size()) - 1);
}

double ToDb(double level) {
    return level > kLevelFloor ? 20.0 * Log10(level) : kSilenceDb;
}

template <int C>
double AttackMs(double amount, double overDb) {
    if constexpr (C == 0) {
        return 50.0 - overDb;
    } else if constexpr (C == 1) {
        return (1.0 - amount) * 10.0 + 1.0;
    } else if constexpr (C == 2) {
        return (1.0 - amount) * 5.0 + 0.5;
    } else {
        return 50.0 - 0.5 * overDb;
    }
}

template <int C>
double ReleaseMs(double lastChangeDb) {
    if constexpr (C == 0) {
        return 40.0 * lastChangeDb + 100.0;
    } else if constexpr (C == 1) {
        return 50.0 * lastChangeDb + 50.0;
    } else if constexpr (C == 2) {
        return 2.0 * lastChangeDb + 80.0;
    } else {
        return 50.0 * lastChangeDb + 200.0;
    }
}

template <int C>
double ShapeGainChange(double changeDb) {
    if constexpr (C == 2) {
        return changeDb * (1.0 + 0.01 * std::fabs(changeDb));
    } else if constexpr (C == 3) {
        return changeDb * 0.925;
    } else {
        return changeDb;
    }
}

// The polynomial shapers are unbounded on purpose; the smoothed gain keeps them in range on vocals.
template <int C>
double Saturate(double x, double drive) {
    if constexpr (C == 0) {
        return 0.9 * x + 0.1 * drive * FastTanh((1.0 + 0.3 * drive) * x);
    } else if constexpr (C == 1) {
        return x * (1.0 + 0.05 * drive * std::fabs(x));
    } else if constexpr (C == 2) {
        const double x2 = x * x;
        return x - 0.15 * drive * x2 * x + 0.05 * drive * x2 * x2 * x;
    } else {
        const double sign = x < 0.0 ? -1.0 : 1.0;
        const double x2 = x * x;
        return x + 0.08 * drive * sign * x2 - 0.02 * drive * x2 * x2;
    }
}

// Static curve with a soft knee of width kneeDb centred on the threshold.
double GainChangeDb(double levelDb, double thresholdDb, double ratio, double kneeDb) {
    if (kneeDb <= 0.0001) {
        return 0.0;
    }
    const double halfKnee = kneeDb / 2.0;
    if (levelDb < thresholdDb - halfKnee) {
        return 0.0;
    }
    if (levelDb > thresholdDb + halfKnee) {
        return (levelDb - thresholdDb) / ratio + thresholdDb - levelDb;
    }
    const double into = levelDb - thresholdDb + halfKnee;
    return (1.0 / ratio - 1.0) * into * into / (2.0 * kneeDb);
}

double TimeCoefficient(double milliseconds, double sampleRate) {
    return std::exp(-1.0 / (milliseconds * sampleRate * 0.001));
}

}  // namespace

struct CompressorBlock::BlockShape {
    double amount;
    double thresholdDb;
    double ratio;
    double kneeDb;
    double drive;
    bool saturate;
};

void CompressorBlock::Prepare(double sampleRate) {
    sampleRate_ = sampleRate;
    coefficientTimeMs_ = 0.0;
    amountCoefficient_ = OnePoleCoefficient(kAmountSmoothingSeconds, sampleRate);
    gainCoefficient_ = OnePoleCoefficient(kGainSmoothingSeconds, sampleRate);
    slowMakeupCoefficient_ = OnePoleCoefficient(kSlowMakeupSeconds, sampleRate);
    fastMakeupCoefficient_ = OnePoleCoefficient(kFastMakeupSeconds, sampleRate);
    DesignLowPass(sideChainLowPass_, sampleRate, kSideChainLowPassHz, kSideChainQ);
    DesignSideChainHighPass();
    Reset();
}

void CompressorBlock::SetCharacter(std::int32_t character) {
    if (character != character_) {
        character_ = character;
        DesignSideChainHighPass();
    }
}

void CompressorBlock::DesignSideChainHighPass() {
    const Character& row = kCharacters[static_cast<std::size_t>(ClampCharacter(character_))];
    DesignHighPass(sideChainHighPass_, sampleRate_, row.sideChainHighPassHz, kSideChainQ);
}

void CompressorBlock::Process(double* left, double* right, std::int32_t frames) {
    const double k = std::pow(amountCoefficient_, frames);
    amount_ = SmoothTowards(amount_, amountTarget_, k);
    amountMoving_ = std::fabs(amount_ - amountTarget_) > kAmountMovingTolerance;
    if (amount_ < kBypassBelowAmount) {
        return;
    }

    const int character = ClampCharacter(character_);
    const Character& row = kCharacters[static_cast<std::size_t>(character)];
    const double a = amount_;
    const BlockShape shape{
        a,
        kThresholdAtFullAmountDb * a,
        (1.5 * row.ratioBase - 1.0) * a + 1.0,
        (1.0 - 0.3 * a) * row.kneeBaseDb,
        row.saturation * a * (a + 1.0),
        row.saturation >= 0.001 && a >= 0.01,
    };
    switch (character) {
        case 0: ProcessFrames<0>(left, right, frames, shape); break;
        case 1: ProcessFrames<1>(left, right, frames, shape); break;
        case 2: ProcessFrames<2>(left, right, frames, shape); break;
        default: ProcessFrames<3>(left, right, frames, shape); break;
    }
}

template <int Character>
void CompressorBlock::ProcessFrames(double* left, double* right, std::int32_t frames, const BlockShape& shape) {
    for (std::int32_t start = 0; start < frames; start += kStereoChunkFrames) {
        ProcessChunk<Character>(left + start, right + start, std::min(kStereoChunkFrames, frames - start), shape);
    }
}

// Stage by stage: only the envelope's own recurrence (its release time follows its last gain
// change) runs frame by frame with its logarithm and exponential; the side chain's filters, the
// powers of ten and the smoothers run in loops of their own.
template <int Character>
void CompressorBlock::ProcessChunk(double* left, double* right, std::int32_t frames, const BlockShape& shape) {
    const auto count = static_cast<std::size_t>(frames);
    std::array<double, kStereoChunkFrames> level;
    Biquad highPass = sideChainHighPass_;
    Biquad lowPass = sideChainLowPass_;
    for (std::size_t i = 0; i < count; ++i) {
        level[i] = std::fabs(lowPass.Run(highPass.Run((left[i] + right[i]) / 2.0)));
    }
    sideChainHighPass_ = highPass;
    sideChainLowPass_ = lowPass;

    std::array<double, kStereoChunkFrames> changeDb;
    for (std::size_t i = 0; i < count; ++i) {
        double timeMs;
        if (level[i] > envelope_) {
            double overDb = 0.0;
            if constexpr (Character == 0 || Character == 3) {
                overDb = std::max(0.0, ToDb(level[i]) - shape.thresholdDb);
            }
            timeMs = std::clamp(AttackMs<Character>(shape.amount, overDb), kAttackMinMs, kAttackMaxMs);
        } else {
            timeMs = std::clamp(ReleaseMs<Character>(std::fabs(lastGainChangeDb_)), kReleaseMinMs, kReleaseMaxMs);
        }
        // The time holds from frame to frame while the gain change does, and so does its coefficient.
        if (timeMs != coefficientTimeMs_) {
            coefficientTimeMs_ = timeMs;
            timeCoefficient_ = TimeCoefficient(timeMs, sampleRate_);
        }
        envelope_ = SmoothTowards(envelope_, level[i], timeCoefficient_);
        lastGainChangeDb_ = GainChangeDb(ToDb(envelope_), shape.thresholdDb, shape.ratio, shape.kneeDb);
        changeDb[i] = ShapeGainChange<Character>(lastGainChangeDb_);
    }

    std::array<double, kStereoChunkFrames> gain;
    for (std::size_t i = 0; i < count; ++i) {
        gain[i] = Pow10(changeDb[i] / 20.0);
    }
    const double makeupCoefficient = amountMoving_ ? fastMakeupCoefficient_ : slowMakeupCoefficient_;
    std::array<double, kStereoChunkFrames> makeup;
    for (std::size_t i = 0; i < count; ++i) {
        smoothedGain_ = SmoothTowards(smoothedGain_, gain[i], gainCoefficient_);
        gain[i] = smoothedGain_;
        smoothedMakeupDb_ = SmoothTowards(smoothedMakeupDb_, changeDb[i], makeupCoefficient);
        makeup[i] = smoothedMakeupDb_;
    }
    for (std::size_t i = 0; i < count; ++i) {
        makeup[i] = Pow10((kMakeupDb - makeup[i]) / 20.0);
    }

    for (std::size_t i = 0; i < count; ++i) {
        double l = left[i] * gain[i];
        double r = right[i] * gain[i];
        if (shape.saturate) {
            l = Saturate<Character>(l, shape.drive);
            r = Saturate<Character>(r, shape.drive);
        }
        right[i] = r * makeup[i];
        left[i] = l * makeup[i];
    }
}

void CompressorBlock::Reset() {
    sideChainHighPass_.Clear();
    sideChainLowPass_.Clear();
    envelope_ = 0.0;
    lastGainChangeDb_ = 0.0;
    smoothedGain_ = 1.0;
    smoothedMakeupDb_ = 0.0;
}
