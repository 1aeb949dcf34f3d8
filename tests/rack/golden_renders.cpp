#include "golden_renders.h"

#include <cstdio>

#include "fake_tuning_environment.h"
#include "rack/dsp/engine.h"
#include "signals.h"

namespace {

constexpr std::int32_t kFrames = 4096;
constexpr std::int32_t kSilentFrames = 1024;
constexpr std::int32_t kBlockSize = 97;
constexpr double kSignalRate = 48000.0;

std::vector<double> Enveloped(std::vector<double> signal, std::int32_t start, std::int32_t length) {
    for (std::int32_t i = 0; i < static_cast<std::int32_t>(signal.size()); ++i) {
        const double t = static_cast<double>(i - start) / length;
        signal[static_cast<std::size_t>(i)] *= (t > 0.0 && t < 1.0) ? 4.0 * t * (1.0 - t) : 0.0;
    }
    return signal;
}

std::vector<double> Channel(double fundamental, double gain, std::uint32_t seed) {
    const std::int32_t voiced = kFrames - kSilentFrames;
    std::vector<double> voice(static_cast<std::size_t>(voiced), 0.0);
    for (int harmonic = 1; harmonic <= 12; ++harmonic) {
        voice = Sum(voice, Sine(fundamental * harmonic, 0.3 / harmonic, kSignalRate, voiced, 0.4 * harmonic));
    }
    voice = Enveloped(voice, -200, voiced + 400);
    std::vector<double> signal = Sum(voice, Enveloped(Sine(3500.0, 0.25, kSignalRate, voiced), 900, 1200));
    signal = Sum(signal, Enveloped(Sine(260.0, 0.3, kSignalRate, voiced), 300, 1500));
    signal = Sum(signal, Enveloped(Noise(0.35, voiced, seed), 1600, 500));
    signal = Sum(signal, Enveloped(Noise(0.9, voiced, seed + 1), 2600, 60));
    signal.resize(static_cast<std::size_t>(kFrames), 0.0);
    for (double& sample : signal) {
        // Single precision makes the material the same bits whichever maths library built it.
        sample = static_cast<float>(gain * sample);
    }
    return signal;
}

}  // namespace

std::string GoldenCase::Name() const {
    char text[128];
    std::snprintf(text, sizeof text, "%s/%d/%.1f/%.0f%s", EffectTypeName(static_cast<std::int32_t>(type)), character,
                  amount, sampleRate, characterCurves ? "/curves" : "");
    return text;
}

std::vector<GoldenCase> GoldenCases() {
    std::vector<GoldenCase> cases;
    for (double rate : {44100.0, 48000.0}) {
        for (double amount : {0.0, 0.5, 1.0}) {
            for (EffectType type :
                 {EffectType::DeMud, EffectType::DeHarsh, EffectType::Air, EffectType::Plate, EffectType::Presence}) {
                cases.push_back({type, 0, amount, rate, false, amount == 0.0});
            }
            for (EffectType type :
                 {EffectType::Gate, EffectType::DeEsser, EffectType::Glue, EffectType::Tape, EffectType::Shimmer}) {
                cases.push_back({type, 0, amount, rate, false, amount == 0.0});
            }
            for (std::int32_t character = 0; character < 4; ++character) {
                cases.push_back({EffectType::Compressor, character, amount, rate, false, amount == 0.0});
            }
            for (bool curves : {false, true}) {
                for (std::int32_t character = 0; character < 8; ++character) {
                    cases.push_back({EffectType::Saturator, character, amount, rate, curves, amount == 0.0});
                }
            }
        }
    }
    return cases;
}

StereoSignal GoldenSignal() {
    return {Channel(180.0, 1.0, 101), Channel(183.0, 0.85, 202)};
}

StereoSignal RenderGoldenCase(const GoldenCase& golden) {
    FakeTuningEnvironment environment;
    if (golden.characterCurves) {
        environment.Set("TARNWELL_SAT", "0");
    }
    RackEngine engine(environment.Lookup());
    engine.Prepare(golden.sampleRate);
    StereoSignal signal = GoldenSignal();
    RenderStereo(engine, signal, SingleBaySettings(golden.type, golden.amount, golden.character), kBlockSize);
    return signal;
}

std::string GoldenFingerprintPath() {
    return GOLDEN_RENDERS_PATH;
}
