#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "rack/dsp/effect_type.h"
#include "rack_render.h"

// Renders of the blocks whose inner workings are tuned for speed, pinned against fingerprints taken
// from the code before those changes (tests/rack/golden/, written by rack_golden_writer).
struct GoldenCase {
    EffectType type;
    std::int32_t character;
    double amount;
    double sampleRate;
    // TARNWELL_SAT=0: the Saturator's character curves instead of its default exponential shaper.
    bool characterCurves;
    // Paths that leave the signal exactly dry (or only delayed) must stay bit-exact.
    bool exact;

    std::string Name() const;
};

std::vector<GoldenCase> GoldenCases();

// A seeded stereo vocal-like signal: a gliding harmonic tone with a swell, a harsh resonance, a
// muddy low band, sibilant noise bursts and a loud transient, then silence for the tails.
StereoSignal GoldenSignal();

// The case through one bay of a fresh engine (safety clipper off), in blocks of an odd size so that
// block edges fall everywhere.
StereoSignal RenderGoldenCase(const GoldenCase& golden);

// Where the committed fingerprints are.
std::string GoldenFingerprintPath();
