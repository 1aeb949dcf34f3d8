#pragma once

#include <cstdint>
#include <vector>

// Deterministic test signals and measurements for the rack tests.

double DbfsToAmplitude(double dbfs);
double AmplitudeToDb(double amplitude);

// A sine of the given peak amplitude; phase in radians at frame 0.
std::vector<double> Sine(double frequency, double amplitude, double sampleRate, std::int32_t frames,
                         double phase = 0.0);
// Uniform noise in [-amplitude, amplitude] from a fixed seed.
std::vector<double> Noise(double amplitude, std::int32_t frames, std::uint32_t seed);
std::vector<double> Sum(const std::vector<double>& a, const std::vector<double>& b);

// Peak amplitude of the component at `frequency` over [start, start + count), by projecting onto sine
// and cosine; exact for a whole number of periods.
double ToneAmplitude(const std::vector<double>& signal, double frequency, double sampleRate, std::int32_t start,
                     std::int32_t count);

// Gain in dB of the tone at `frequency` from input to output over the last `seconds` of both.
double SteadyToneGainDb(const std::vector<double>& input, const std::vector<double>& output, double frequency,
                        double sampleRate, double seconds = 1.0);

bool AllFinite(const std::vector<double>& signal);
