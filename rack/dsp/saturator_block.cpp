#include "rack/dsp/saturator_block.h"

#include <algorithm>
#include <cmath>

#include "rack/dsp/clamp_unit.h"
#include "rack/dsp/dsp_math.h"

namespace {

constexpr std::int32_t kExponentialMode = 1;
constexpr std::int32_t kHighestCharacter = 7;
constexpr double kDefaultBias = 0.3783;
constexpr double kDefaultBiasSlope = 0.0;
constexpr double kOutputGainScale = 0.3124;
// Mode-1 drive and output scale in dB: offset plus slope times the amount.
constexpr double kDriveDbAtZero = -21.7;
constexpr double kDriveDbPerAmount = 40.0;
constexpr double kScaleDbAtZero = 21.7;
constexpr double kScaleDbPerAmount = -20.0;
constexpr double kDriveCurveExponent = 2.2;
// The wet share reaches 1 at this smoothed amount.
constexpr double kFullWetAmount = 0.1;

constexpr double kLevelSeconds = 0.05;
constexpr double kSmoothSeconds = 0.01;
constexpr double kPowerSeconds = 0.003;
constexpr double kFadeSeconds = 0.01;

constexpr double kPostLowPass1Hz = 17015.0;
constexpr double kPostLowPass1Q = 0.691;
constexpr double kPostLowPass2Hz = 20256.0;
constexpr double kPostLowPass2Q = 0.341;
constexpr double kHighestPostShareOfRate = 0.49;
constexpr double kInputHighPassFloorHz = 20.0;
constexpr double kButterworthQ = 0.707;
constexpr double kOversamplingShareOfRate = 0.45;
constexpr double kLowSplitHz = 105.0;
constexpr double kHighSplitHz = 1720.0;
constexpr double kLowBandScale = 0.1679;
constexpr double kHighBandScale = 0.1778;

constexpr double kDcKeep = 0.9995;
constexpr double kDcTake = 0.0005;
constexpr double kLevelMatchMin = 1.0 / 64.0;
constexpr double kLevelMatchMax = 8.0;
constexpr double kPowerFloor = 1e-12;
constexpr double kEnvelopeFloor = 1e-9;
constexpr double kSqrt2 = 1.4142135623730951;

struct CharacterShape {
    double driveMax;
    double shapeGain;
    double shapeQ;
};

constexpr std::array<CharacterShape, 8> kCharacters = {{
    {10.0, 1.0, 0.35},
    {5.0, 1.0, 0.12},
    {16.0, 1.0, 0.2},
    {40.0, 1.0, 0.1},
    {6.0, 0.7, 0.4},
    {3.5, 0.7, 0.15},
    {10.0, 0.55, 0.25},
    {10.0, 0.55, 0.12},
}};

double SmoothStep(double t) {
    return (3.0 - 2.0 * t) * t * t;
}

bool IsSet(double override) {
    return override > SaturatorTuning::kOverrideUnsetBelow;
}

// Asymmetric exponential saturation of mode 1 and of the split band.
double Exponential(double x) {
    // Multiplied by the reciprocals: a division costs several multiplications, and this runs four to
    // eight times a frame. The side picks constants only, so the sign of an audio sample costs no
    // mispredicted branch; -x k and x (-k) are the same number.
    constexpr double kInversePositiveKnee = 1.0 / 0.09264;
    constexpr double kInverseNegativeKnee = 1.0 / 0.10889;
    const bool positive = x >= 0.0;
    const double scale = positive ? 0.30959 : -0.33339;
    const double rate = positive ? -kInversePositiveKnee : kInverseNegativeKnee;
    return scale * (1.0 - std::exp(x * rate));
}

double Curve(double x, double upper, double lower) {
    if (x > upper) {
        const double over = x - upper;
        return upper + (1.0 - upper) * (1.0 - std::exp(-3.0 * over)) + 0.04 * (1.0 - std::exp(-0.45 * over));
    }
    if (x < -lower) {
        return -lower - (1.0 - lower) * (1.0 - std::exp(-3.0 * (-x - lower)));
    }
    return x;
}

void Follow(double& state, double value, double coefficient) {
    state += (value - state) * (1.0 - coefficient);
}

// Mode-1 level of a path: the smoothed power as a peak level, capped at 1.
double PathLevel(double power) {
    return std::min(1.0, std::sqrt(2.0 * std::max(0.0, power)));
}

}  // namespace

void SaturatorTuning::Read(const TuningEnvironment& environment) {
    environment.ReadInteger("TARNWELL_SAT", mode);
    environment.ReadReal("TARNWELL_SAT_DRIVE_DB", driveDbOverride);
    environment.ReadReal("TARNWELL_SAT_SCALE", scaleDbOverride);
    environment.ReadReal("TARNWELL_SAT_BIAS", biasOverride);
    environment.ReadReal("TARNWELL_SAT_BIASQ", biasSlopeOverride);
}

struct SaturatorBlock::BlockSettings {
    double amount;
    double driveTarget;
    double bias;
    double biasSlope;
    double modeOneGain;
    bool modeOne;
};

struct SaturatorBlock::FrameWeights {
    double wet;
    double characterMix;
    double amount;
    double drive;
    double normaliser;
};

void SaturatorBlock::Prepare(double sampleRate, const SaturatorTuning& tuning) {
    sampleRate_ = sampleRate;
    tuning_ = tuning;
    UpdateCoefficients();
    // The crossover corners depend on the rate, so a new rate always redesigns them.
    splitMode_ = -1;
    UpdateFilters();
    levelCoef_ = OnePoleCoefficient(kLevelSeconds, sampleRate);
    smoothCoef_ = OnePoleCoefficient(kSmoothSeconds, sampleRate);
    powerCoef_ = OnePoleCoefficient(kPowerSeconds, sampleRate);
    characterFadeStep_ = 1.0 / std::max(1.0, kFadeSeconds * sampleRate);
    dcState_ = {};
}

void SaturatorBlock::SetCharacter(std::int32_t character) {
    const std::int32_t wanted = std::clamp(character, 0, kHighestCharacter);
    const std::int32_t held = character_ > kHighestCharacter ? 0 : character_;
    if (wanted != held) {
        characterFade_ = 0.0;
        previousCharacter_ = held;
    }
    character_ = wanted;
}

void SaturatorBlock::UpdateCoefficients() {
    if (sampleRate_ == designedRate_ && inputHighPassHz_ == designedHighPassHz_) {
        return;
    }
    designedRate_ = sampleRate_;
    designedHighPassHz_ = inputHighPassHz_;
    Biquad design;
    const double highestPost = kHighestPostShareOfRate * sampleRate_;
    DesignLowPass(design, sampleRate_, std::min(highestPost, kPostLowPass1Hz), kPostLowPass1Q);
    postLowPass1_.SetCoefficients(design);
    DesignLowPass(design, sampleRate_, std::min(highestPost, kPostLowPass2Hz), kPostLowPass2Q);
    postLowPass2_.SetCoefficients(design);
    if (inputHighPassHz_ > kInputHighPassFloorHz) {
        DesignHighPass(design, sampleRate_, inputHighPassHz_, kButterworthQ);
    } else {
        DesignPeak(design, sampleRate_, kInputHighPassFloorHz, kButterworthQ, 0.0);
    }
    inputHighPass_.SetCoefficients(design);
    DesignLowPass(design, 2.0 * sampleRate_, kOversamplingShareOfRate * sampleRate_, kButterworthQ);
    for (auto* bank : {&upsampler_, &downsampler_, &bandUpsampler_, &bandDownsampler_}) {
        for (StereoBiquad& stage : *bank) {
            stage.SetCoefficients(design);
        }
    }
}

void SaturatorBlock::UpdateFilters() {
    const std::int32_t mode = (character_ >= 0 && character_ <= 2) ? character_ : 1;
    if (mode == splitMode_) {
        return;
    }
    splitMode_ = mode;
    splitFade_ = 0.0;
    splitFadeStep_ = 1.0 / std::max(1.0, kFadeSeconds * sampleRate_);
    Biquad design;
    if (mode == 0) {
        DesignLowPass(design, sampleRate_, std::min(kOversamplingShareOfRate * sampleRate_, kLowSplitHz), kButterworthQ);
    } else if (mode == 2) {
        DesignHighPass(design, sampleRate_, std::min(kOversamplingShareOfRate * sampleRate_, kHighSplitHz),
                       kButterworthQ);
    }
    for (StereoBiquad& stage : crossover_) {
        stage.SetCoefficients(design);
        stage.Clear();
    }
}

double SaturatorBlock::Shape(std::int32_t character, double k, const FrameWeights& weights) const {
    const CharacterShape& shape = kCharacters[static_cast<std::size_t>(character)];
    const double v = weights.amount;
    const double g = shape.shapeGain;
    const double q = shape.shapeQ;
    switch (character % 4) {
        case 1: {
            const double t = (3.5 * v + 1.0) * g * k;
            const double r = k / std::pow(std::pow(std::fabs(t), 2.5) + 1.0, 0.4);
            return 0.3 * std::tanh(0.6 * t) + 0.7 * ((1.0 - 0.15 * v * r * r) * r + v * q * r * r);
        }
        case 2: {
            double t = (5.0 * v + 1.0) * g * k;
            const double t2 = t * t;
            t = t - t2 * t / 3.0 + 0.2 * v * t2 * t2 * t;
            return t > 0.0 ? 0.95 * std::tanh(1.1 * t) : 0.95 * std::tanh(0.9 * t);
        }
        case 3: {
            const double h = 0.7 - 0.2 * v;
            const double upper = (1.0 - v * q) * h;
            const double lower = (1.0 + v * q) * h;
            const double gain = (8.0 * v + 1.0) * g;
            const double offset = 0.22 * v * weights.drive * q * gain;
            return Curve(gain * k + offset, upper, lower) - Curve(offset, upper, lower);
        }
        default: {
            const double p = (4.0 * v + 1.5) * g;
            const double s = v * q;
            const double z = std::tanh(0.8 * p * s);
            const double offset = z + 0.05 * v * z * z;
            const double w = s + k;
            const double y = w >= 0.0 ? std::tanh(0.8 * p * w) : -0.95 * std::tanh(-1.4 * p * w);
            return y - offset;
        }
    }
}

StereoSample SaturatorBlock::ShapeAndDownsample(const StereoSample& x, const StereoSample& mainLevel,
                                                const BlockSettings& settings, const FrameWeights& weights) {
    // Zero-stuffed upsampling: the input, then a zero, each doubled to keep the level.
    StereoSample first = RunChain(upsampler_, x);
    StereoSample second = RunChain(upsampler_, StereoSample{});
    for (int c = 0; c < 2; ++c) {
        for (double* u : {&first[static_cast<std::size_t>(c)], &second[static_cast<std::size_t>(c)]}) {
            const double k = 2.0 * *u;
            if (settings.modeOne) {
                const double e = mainLevel[static_cast<std::size_t>(c)];
                *u = Exponential(weights.normaliser * k - (settings.bias * e * e + settings.biasSlope * e));
                continue;
            }
            double y = Shape(character_, k, weights);
            if (weights.characterMix < 1.0) {
                const double previous = Shape(previousCharacter_, k, weights);
                y = (1.0 - weights.characterMix) * previous + weights.characterMix * y;
            }
            *u = (1.0 - weights.wet) * k + weights.wet * y;
        }
    }
    RunChain(downsampler_, first);
    return RunChain(downsampler_, second);
}

StereoSample SaturatorBlock::SplitBandPath(const StereoSample& band, const StereoSample& bandLevel,
                                           double normaliser, const BlockSettings& settings) {
    const double scale = splitMode_ == 2 ? kHighBandScale : kLowBandScale;
    const double inverseScale = 1.0 / scale;
    StereoSample first = RunChain(bandUpsampler_, band);
    StereoSample second = RunChain(bandUpsampler_, StereoSample{});
    for (int c = 0; c < 2; ++c) {
        const double l = bandLevel[static_cast<std::size_t>(c)] * scale;
        const double offset = settings.bias * l * l + settings.biasSlope * l;
        for (double* u : {&first[static_cast<std::size_t>(c)], &second[static_cast<std::size_t>(c)]}) {
            *u = Exponential(2.0 * *u * normaliser * scale - offset) * inverseScale;
        }
    }
    RunChain(bandDownsampler_, first);
    return RunChain(bandDownsampler_, second);
}

void SaturatorBlock::Process(double* left, double* right, std::int32_t frames) {
    UpdateCoefficients();
    UpdateFilters();
    const double a = ClampToUnit(amount_);
    if (a <= 0.0) {
        return;
    }

    BlockSettings settings{};
    settings.amount = a;
    settings.modeOne = tuning_.mode == kExponentialMode;
    const double driveDb = IsSet(tuning_.driveDbOverride) ? tuning_.driveDbOverride
                                                          : kDriveDbPerAmount * a + kDriveDbAtZero;
    const double scaleDb = IsSet(tuning_.scaleDbOverride) ? tuning_.scaleDbOverride
                                                          : kScaleDbPerAmount * a + kScaleDbAtZero;
    settings.driveTarget = settings.modeOne
                               ? DbToGain(driveDb)
                               : std::pow(a, kDriveCurveExponent) *
                                         (kCharacters[static_cast<std::size_t>(character_)].driveMax - 1.0) +
                                     1.0;
    settings.bias = IsSet(tuning_.biasOverride) ? tuning_.biasOverride : kDefaultBias;
    settings.biasSlope = IsSet(tuning_.biasSlopeOverride) ? tuning_.biasSlopeOverride : kDefaultBiasSlope;
    settings.modeOneGain = DbToGain(scaleDb) * kOutputGainScale;
    const double trimGain = DbToGain(outputTrimDb_);
    const bool useHighPass = inputHighPassHz_ > kInputHighPassFloorHz;
    const bool split = splitMode_ == 0 || splitMode_ == 2;

    for (std::int32_t i = 0; i < frames; ++i) {
        const StereoSample in{left[i], right[i]};
        smoothDrive_ = SmoothTowards(smoothDrive_, settings.driveTarget, smoothCoef_);
        smoothAmount_ = SmoothTowards(smoothAmount_, a, smoothCoef_);
        FrameWeights weights{};
        weights.wet = SmoothStep(std::min(1.0, smoothAmount_ / kFullWetAmount));
        weights.characterMix = SmoothStep(characterFade_);
        weights.amount = smoothAmount_;
        weights.drive = smoothDrive_;
        if (settings.modeOne) {
            const double g = smoothDrive_;
            const double peakPower = std::max((g * in[0]) * (g * in[0]), (g * in[1]) * (g * in[1]));
            envelope_ += (peakPower - envelope_) * (1.0 - powerCoef_);
        }
        const double level = std::sqrt(std::max(0.0, envelope_)) * kSqrt2;
        weights.normaliser = level > kEnvelopeFloor ? std::min(1.0, level) / level : 1.0;

        const StereoSample dry = useHighPass ? inputHighPass_.Run(in) : in;
        StereoSample x{dry[0] * smoothDrive_, dry[1] * smoothDrive_};
        const StereoSample crossed = split ? RunChain(crossover_, x) : StereoSample{};
        // The fade and the shared powers move once per channel, left first.
        StereoSample band{};
        StereoSample bandLevel{};
        StereoSample mainLevel{};
        for (std::size_t c = 0; c < 2; ++c) {
            splitFade_ = std::min(1.0, splitFade_ + splitFadeStep_);
            band[c] = split ? SmoothStep(splitFade_) * crossed[c] : 0.0;
            x[c] -= band[c];
            Follow(bandPower_, band[c] * band[c], powerCoef_);
            Follow(mainPower_, x[c] * x[c], powerCoef_);
            bandLevel[c] = PathLevel(bandPower_);
            mainLevel[c] = PathLevel(mainPower_) * weights.normaliser;
        }

        StereoSample out = ShapeAndDownsample(x, mainLevel, settings, weights);
        if (split) {
            const StereoSample bandOut = SplitBandPath(band, bandLevel, weights.normaliser, settings);
            out[0] += bandOut[0];
            out[1] += bandOut[1];
        }
        for (std::size_t c = 0; c < 2; ++c) {
            dcState_[c] = kDcKeep * dcState_[c] + kDcTake * out[c];
            out[c] -= dcState_[c];
        }
        for (std::size_t c = 0; c < 2; ++c) {
            Follow(inputPower_, dry[c] * dry[c], levelCoef_);
            Follow(outputPower_, out[c] * out[c], levelCoef_);
            if (settings.modeOne) {
                out[c] *= settings.modeOneGain;
            } else {
                const double match = (inputPower_ > kPowerFloor && outputPower_ > kPowerFloor)
                                         ? std::clamp(std::sqrt(inputPower_ / outputPower_), kLevelMatchMin,
                                                      kLevelMatchMax)
                                         : 1.0;
                out[c] *= trimGain * match;
            }
        }
        if (!settings.modeOne) {
            out = postLowPass2_.Run(postLowPass1_.Run(out));
        }
        right[i] = out[1];
        left[i] = out[0];
        characterFade_ = std::min(1.0, characterFade_ + characterFadeStep_);
    }
}

void SaturatorBlock::Reset() {
    for (StereoBiquad* filter : {&postLowPass1_, &postLowPass2_, &inputHighPass_}) {
        filter->Clear();
    }
    ClearChain(upsampler_);
    ClearChain(downsampler_);
    ClearChain(bandUpsampler_);
    ClearChain(bandDownsampler_);
    ClearChain(crossover_);
    dcState_ = {};
}
