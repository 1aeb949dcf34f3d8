#include "golden_renders.h"

#include <cstdio>

#include "fake_tuning_environment.h"
#include "rack/dsp/engine.h"
#include "signals.h"

using namespace tarnwell::dsp;

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
  char text[160];
  std::snprintf(text, sizeof text, "%s/%d/%.1f/%.0f%s%s", EffectTypeName(static_cast<std::int32_t>(type)), character,
                amount, sampleRate, tuning != nullptr ? "/" : "", tuning != nullptr ? tuning->label : "");
  std::string name = text;
  if (inputGain != 1.0) {
    std::snprintf(text, sizeof text, "/x%g", inputGain);
    name += text;
  }
  return name;
}

std::vector<GoldenCase> GoldenCases() {
  static constexpr GoldenTuning kCharacterCurves = {"curves", "TARNWELL_SAT", "0"};
  static constexpr GoldenTuning kAirCrossover = {"crossover", "TARNWELL_AIR_MODE", "1"};
  static constexpr GoldenTuning kAirShelf = {"shelf", "TARNWELL_AIR_MODE", "2"};
  static constexpr GoldenTuning kFigureEightTank = {"figure-eight", "TARNWELL_PLATE_TANK", "2"};
  constexpr std::int32_t kDelayNotes = 19;
  std::vector<GoldenCase> cases;
  for (double rate : {44100.0, 48000.0}) {
    for (double amount : {0.0, 0.5, 1.0}) {
      const bool off = amount == 0.0;
      for (EffectType type :
           {EffectType::DeMud, EffectType::DeHarsh, EffectType::Air, EffectType::Plate, EffectType::Presence}) {
        cases.push_back({type, 0, amount, rate, nullptr, off});
      }
      for (EffectType type :
           {EffectType::Gate, EffectType::DeEsser, EffectType::Glue, EffectType::Tape, EffectType::Shimmer}) {
        cases.push_back({type, 0, amount, rate, nullptr, off});
      }
      for (std::int32_t character = 0; character < 4; ++character) {
        cases.push_back({EffectType::Compressor, character, amount, rate, nullptr, off});
      }
      for (const GoldenTuning* tuning : {static_cast<const GoldenTuning*>(nullptr), &kCharacterCurves}) {
        for (std::int32_t character = 0; character < 8; ++character) {
          cases.push_back({EffectType::Saturator, character, amount, rate, tuning, off});
        }
      }
    }
  }
  // Added after the cases above were pinned, so they follow them in the file.
  for (double rate : {44100.0, 48000.0}) {
    for (double amount : {0.0, 0.5, 1.0}) {
      const bool off = amount == 0.0;
      // Tilt and Trimmer are neutral at the middle of their range.
      cases.push_back({EffectType::Tilt, 0, amount, rate, nullptr, amount == 0.5});
      cases.push_back({EffectType::Trimmer, 0, amount, rate, nullptr, amount == 0.5});
      // The Clip's limiter holds the ceiling even without drive.
      cases.push_back({EffectType::Clip, 0, amount, rate, nullptr, false});
      // Character 0 widens the side band, every other character the high band.
      cases.push_back({EffectType::Width, 0, amount, rate, nullptr, off});
      cases.push_back({EffectType::Width, 1, amount, rate, nullptr, false});
      // One character per note length; the shorter notes echo within the signal at 120 BPM.
      for (std::int32_t character = 0; character < kDelayNotes; ++character) {
        cases.push_back({EffectType::Delay, character, amount, rate, nullptr, off});
      }
      for (const GoldenTuning* tuning : {&kAirCrossover, &kAirShelf}) {
        cases.push_back({EffectType::Air, 0, amount, rate, tuning, off});
      }
      cases.push_back({EffectType::Plate, 0, amount, rate, &kFigureEightTank, off});
      // At full scale the Gate never closes on this signal; 40 dB down it opens, knees and releases.
      cases.push_back({EffectType::Gate, 0, amount, rate, nullptr, false, 0.01});
    }
  }
  return cases;
}

StereoSignal GoldenSignal(double gain) { return {Channel(180.0, gain, 101), Channel(183.0, 0.85 * gain, 202)}; }

StereoSignal RenderGoldenCase(const GoldenCase& golden) {
  FakeTuningEnvironment environment;
  if (golden.tuning != nullptr) {
    environment.Set(golden.tuning->variable, golden.tuning->value);
  }
  RackEngine engine(environment.Lookup());
  engine.Prepare(golden.sampleRate);
  StereoSignal signal = GoldenSignal(golden.inputGain);
  RenderStereo(engine, signal, SingleBaySettings(golden.type, golden.amount, golden.character), kBlockSize);
  return signal;
}

std::string GoldenFingerprintPath() { return GOLDEN_RENDERS_PATH; }
