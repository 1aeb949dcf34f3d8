#pragma once

#include <vector>

namespace tarnwell::signals {

// A deterministic stand-in for a vocal take: phrases of a harmonic tone with formant-like weighting,
// vibrato and syllable swells, a sibilant noise burst at the end of each phrase, low-level room noise
// in the pauses, and the right channel slightly later and quieter than the left.
struct StereoBuffer {
  std::vector<double> left;
  std::vector<double> right;
};

StereoBuffer MakeVocalSignal(double sampleRate, double seconds);

}  // namespace tarnwell::signals
