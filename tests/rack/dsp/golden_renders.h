#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "rack/dsp/effect_type.h"
#include "rack_render.h"

// A tuning variable that switches a block to another design (the Saturator's character curves, the
// Air's other modes, the Plate's figure-eight tank); the label goes into the case's name.
struct GoldenTuning {
  const char* label;
  const char* variable;
  const char* value;
};

// Renders of every block, pinned against fingerprints taken from the code before its inner workings
// were tuned for speed (tests/rack/dsp/golden/, written by rack_golden_writer).
struct GoldenCase {
  tarnwell::dsp::EffectType type;
  std::int32_t character;
  double amount;
  double sampleRate;
  // Null for the block's default design.
  const GoldenTuning* tuning;
  // Paths that leave the signal exactly dry (or only delayed) must stay bit-exact.
  bool exact;
  // Scales the golden signal, for blocks whose work starts well below full scale (the Gate).
  double inputGain = 1.0;

  std::string Name() const;
};

std::vector<GoldenCase> GoldenCases();

// A seeded stereo vocal-like signal: a gliding harmonic tone with a swell, a harsh resonance, a
// muddy low band, sibilant noise bursts and a loud transient, then silence for the tails.
StereoSignal GoldenSignal(double gain = 1.0);

// The case through one bay of a fresh engine (safety clipper off), in blocks of an odd size so that
// block edges fall everywhere.
StereoSignal RenderGoldenCase(const GoldenCase& golden);

// Where the committed fingerprints are.
std::string GoldenFingerprintPath();
