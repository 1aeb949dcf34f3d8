// Synthetic rhythm material with a known tempo, for the tempo detector's tests, its accuracy
// benchmark and the demo: click tracks and drum-like loops (kick, snare or clap, hats), with swing,
// a noise floor, level steps and a tempo change. Deterministic for a given description.
#pragma once

#include <cstdint>
#include <vector>

namespace tarnwell::signals {

enum class DrumPattern {
  Clicks,          // a short click on every beat
  FourOnTheFloor,  // kick on every beat, clap on 2 and 4, off-beat open hats
  Backbeat,        // kick on 1 and 3, snare on 2 and 4, eighth hats
  BrokenBeat,      // kick on 1 and the "and" of 2 and 3, snare on 2 and 4, sixteenth hats
};

struct DrumLoop {
  DrumPattern pattern = DrumPattern::Clicks;
  double bpm = 120.0;
  // Where the off-beat eighth falls within the beat: 0.5 straight, 2/3 for a 2:1 swing.
  double swing = 0.5;
  double noiseRms = 0.0;
  // Every levelStepSeconds the level moves to the next of these gains in dB (in turn).
  double levelStepSeconds = 0.0;
  std::vector<double> levelStepsDb;
  // From changeAtSeconds on, the tempo is changedBpm (0: no change).
  double changeAtSeconds = 0.0;
  double changedBpm = 0.0;
  // From silenceAtSeconds on (when above 0), digital silence.
  double silenceAtSeconds = 0.0;
  uint32_t seed = 1;
};

// Mono samples of the loop at the given rate.
std::vector<double> RenderDrumLoop(const DrumLoop& loop, double sampleRate, double seconds);

// A steady click on every beat: the loop of the Clicks pattern with nothing added.
std::vector<double> RenderClickTrack(double bpm, double sampleRate, double seconds);

const char* DrumPatternName(DrumPattern pattern);

}  // namespace tarnwell::signals
