#include "signals/vocal_signal.h"

#include <algorithm>
#include <array>
#include <cmath>
#include <cstddef>
#include <cstdint>

namespace tarnwell::signals {

namespace {

constexpr double kTwoPi = 6.283185307179586;
constexpr double kPhraseSeconds = 3.0;
constexpr double kVoicedSeconds = 2.4;
constexpr double kSibilantSeconds = 0.12;
constexpr double kSyllableHz = 4.0;
constexpr double kVibratoHz = 5.5;
constexpr double kVibratoDepth = 0.015;
constexpr int kMaxHarmonics = 32;
constexpr double kPeakLevel = 0.5;
constexpr double kSibilantLevel = 0.08;
constexpr double kRoomNoiseLevel = 3e-4;
constexpr int kRightDelayFrames = 7;
constexpr double kRightGain = 0.9;
constexpr std::array<double, 6> kPhrasePitchesHz = {196.0, 220.0, 165.0, 247.0, 185.0, 208.0};

struct Formant {
  double hz;
  double bandwidthHz;
  double weight;
};
constexpr std::array<Formant, 3> kFormants = {{{700.0, 110.0, 1.0}, {1220.0, 130.0, 0.6}, {2600.0, 200.0, 0.35}}};

double HarmonicWeight(double hz, int harmonic) {
  double weight = 0.08 / harmonic;
  for (const Formant& f : kFormants) {
    const double detune = (hz - f.hz) / f.bandwidthHz;
    weight += f.weight / (1.0 + detune * detune) / std::sqrt(static_cast<double>(harmonic));
  }
  return weight;
}

class NoiseSource {
 public:
  double Next() {
    state_ ^= state_ << 13;
    state_ ^= state_ >> 7;
    state_ ^= state_ << 17;
    return static_cast<double>(state_ >> 11) / 4503599627370496.0 - 1.0;
  }

 private:
  std::uint64_t state_ = 0x9E3779B97F4A7C15ull;
};

}  // namespace

StereoBuffer MakeVocalSignal(double sampleRate, double seconds) {
  const auto frames = static_cast<std::size_t>(seconds * sampleRate);
  std::vector<double> mono(frames, 0.0);
  NoiseSource noise;
  std::array<double, kMaxHarmonics> phases{};
  std::array<double, kMaxHarmonics> weights{};
  int harmonics = 0;
  std::size_t phrase = static_cast<std::size_t>(-1);
  double previousNoise = 0.0;

  for (std::size_t i = 0; i < frames; ++i) {
    const double t = static_cast<double>(i) / sampleRate;
    const auto currentPhrase = static_cast<std::size_t>(t / kPhraseSeconds);
    const double pitchHz = kPhrasePitchesHz[currentPhrase % kPhrasePitchesHz.size()];
    if (currentPhrase != phrase) {
      phrase = currentPhrase;
      harmonics = 0;
      double total = 0.0;
      while (harmonics < kMaxHarmonics && (harmonics + 1) * pitchHz < std::min(8000.0, 0.45 * sampleRate)) {
        weights[static_cast<std::size_t>(harmonics)] = HarmonicWeight((harmonics + 1) * pitchHz, harmonics + 1);
        total += weights[static_cast<std::size_t>(harmonics)];
        ++harmonics;
      }
      for (int h = 0; h < harmonics; ++h) {
        weights[static_cast<std::size_t>(h)] *= kPeakLevel / total;
      }
    }

    const double inPhrase = t - static_cast<double>(currentPhrase) * kPhraseSeconds;
    const double white = noise.Next();
    // First difference of white noise: a bright, hiss-like sibilance.
    const double hiss = white - previousNoise;
    previousNoise = white;
    double sample = kRoomNoiseLevel * white;

    if (inPhrase < kVoicedSeconds) {
      const double syllable = 0.55 - 0.45 * std::cos(kTwoPi * kSyllableHz * inPhrase);
      const double vibrato = 1.0 + kVibratoDepth * std::sin(kTwoPi * kVibratoHz * t);
      const double step = kTwoPi * pitchHz * vibrato / sampleRate;
      double voiced = 0.0;
      for (int h = 0; h < harmonics; ++h) {
        auto& phase = phases[static_cast<std::size_t>(h)];
        phase = std::fmod(phase + step * (h + 1), kTwoPi);
        voiced += weights[static_cast<std::size_t>(h)] * std::sin(phase);
      }
      sample += syllable * voiced;
      if (inPhrase > kVoicedSeconds - kSibilantSeconds) {
        sample += kSibilantLevel * hiss;
      }
    }
    mono[i] = sample;
  }

  StereoBuffer buffer{mono, std::vector<double>(frames, 0.0)};
  for (std::size_t i = kRightDelayFrames; i < frames; ++i) {
    buffer.right[i] = kRightGain * mono[i - kRightDelayFrames];
  }
  return buffer;
}

}  // namespace tarnwell::signals
