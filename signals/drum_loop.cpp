#include "signals/drum_loop.h"

#include <cmath>
#include <numbers>

namespace tarnwell::signals {

namespace {

class Noise {
 public:
  explicit Noise(uint32_t seed) : state_(seed * 2654435761u + 12345u) {}
  // Uniform in -1..1, rms 1/sqrt(3).
  double Next() {
    state_ = state_ * 1664525u + 1013904223u;
    return static_cast<double>(state_ >> 8) / 8388608.0 - 1.0;
  }

 private:
  uint32_t state_;
};

enum class Voice { Click, Kick, Snare, Clap, Hat, OpenHat };

struct Hit {
  double beat;  // position within the bar of four beats, 0..4
  Voice voice;
};

// Adds one hit starting at sample `start`.
void AddHit(std::vector<double>& out, size_t start, Voice voice, double rate, Noise& noise) {
  const auto length = static_cast<size_t>(rate * (voice == Voice::Click ? 0.002 : 0.25));
  double phase = 0.0, previousNoise = 0.0;
  for (size_t i = 0; i < length && start + i < out.size(); ++i) {
    const double t = static_cast<double>(i) / rate;
    const double white = noise.Next();
    const double bright = white - previousNoise;  // a crude high-pass for the hats
    previousNoise = white;
    double v = 0.0;
    switch (voice) {
      case Voice::Click:
        v = std::exp(-t / 0.0002);
        break;
      case Voice::Kick: {
        const double hz = 50.0 + 90.0 * std::exp(-t / 0.03);
        phase += 2.0 * std::numbers::pi * hz / rate;
        v = 0.9 * std::exp(-t / 0.12) * std::sin(phase);
        break;
      }
      case Voice::Snare:
        phase += 2.0 * std::numbers::pi * 185.0 / rate;
        v = std::exp(-t / 0.06) * (0.5 * white + 0.3 * std::sin(phase));
        break;
      case Voice::Clap:
        v = 0.6 * white * std::exp(-t / 0.04) * (t < 0.02 ? (std::fmod(t, 0.007) < 0.003 ? 1.0 : 0.3) : 1.0);
        break;
      case Voice::Hat:
        v = 0.25 * bright * std::exp(-t / 0.015);
        break;
      case Voice::OpenHat:
        v = 0.2 * bright * std::exp(-t / 0.08);
        break;
    }
    out[start + i] += v;
  }
}

std::vector<Hit> BarOf(DrumPattern pattern, double swing) {
  std::vector<Hit> bar;
  switch (pattern) {
    case DrumPattern::Clicks:
      for (int b = 0; b < 4; ++b) bar.push_back({static_cast<double>(b), Voice::Click});
      break;
    case DrumPattern::FourOnTheFloor:
      for (int b = 0; b < 4; ++b) {
        bar.push_back({static_cast<double>(b), Voice::Kick});
        bar.push_back({b + swing, Voice::OpenHat});
      }
      bar.push_back({1.0, Voice::Clap});
      bar.push_back({3.0, Voice::Clap});
      break;
    case DrumPattern::Backbeat:
      bar = {{0.0, Voice::Kick}, {2.0, Voice::Kick}, {1.0, Voice::Snare}, {3.0, Voice::Snare}};
      for (int b = 0; b < 4; ++b) {
        bar.push_back({static_cast<double>(b), Voice::Hat});
        bar.push_back({b + swing, Voice::Hat});
      }
      break;
    case DrumPattern::BrokenBeat:
      bar = {{0.0, Voice::Kick},
             {1.0 + swing, Voice::Kick},
             {2.0 + swing, Voice::Kick},
             {1.0, Voice::Snare},
             {3.0, Voice::Snare}};
      for (int b = 0; b < 4; ++b)
        for (double sixteenth : {0.0, swing * 0.5, swing, swing + (1.0 - swing) * 0.5})
          bar.push_back({b + sixteenth, Voice::Hat});
      break;
  }
  return bar;
}

}  // namespace

std::vector<double> RenderDrumLoop(const DrumLoop& loop, double sampleRate, double seconds) {
  std::vector<double> out(static_cast<size_t>(seconds * sampleRate), 0.0);
  Noise noise(loop.seed);
  const std::vector<Hit> bar = BarOf(loop.pattern, loop.swing);
  // Bars follow each other at the tempo in force where each bar starts.
  double barStart = 0.0;
  while (barStart < seconds) {
    const bool changed = loop.changedBpm > 0.0 && barStart >= loop.changeAtSeconds;
    const double beatSeconds = 60.0 / (changed ? loop.changedBpm : loop.bpm);
    for (const Hit& hit : bar) {
      const double at = barStart + hit.beat * beatSeconds;
      if (at < seconds) AddHit(out, static_cast<size_t>(at * sampleRate), hit.voice, sampleRate, noise);
    }
    barStart += 4.0 * beatSeconds;
  }
  Noise floor(loop.seed + 7u);
  for (size_t i = 0; i < out.size(); ++i) {
    const double t = static_cast<double>(i) / sampleRate;
    double gainDb = 0.0;
    if (loop.levelStepSeconds > 0.0 && !loop.levelStepsDb.empty()) {
      const auto step = static_cast<size_t>(t / loop.levelStepSeconds);
      gainDb = loop.levelStepsDb[step % loop.levelStepsDb.size()];
    }
    double v = out[i] * std::pow(10.0, gainDb / 20.0);
    if (loop.noiseRms > 0.0) v += loop.noiseRms * std::sqrt(3.0) * floor.Next();
    if (loop.silenceAtSeconds > 0.0 && t >= loop.silenceAtSeconds) v = 0.0;
    out[i] = v;
  }
  return out;
}

std::vector<double> RenderClickTrack(double bpm, double sampleRate, double seconds) {
  DrumLoop loop;
  loop.pattern = DrumPattern::Clicks;
  loop.bpm = bpm;
  return RenderDrumLoop(loop, sampleRate, seconds);
}

const char* DrumPatternName(DrumPattern pattern) {
  switch (pattern) {
    case DrumPattern::Clicks:
      return "clicks";
    case DrumPattern::FourOnTheFloor:
      return "four-on-the-floor";
    case DrumPattern::Backbeat:
      return "backbeat";
    case DrumPattern::BrokenBeat:
      return "broken beat";
  }
  return "";
}

}  // namespace tarnwell::signals
