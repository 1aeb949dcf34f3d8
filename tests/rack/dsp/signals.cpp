#include "signals.h"

#include <cmath>

#include "rack/dsp/dsp_math.h"

double DbfsToAmplitude(double dbfs) { return std::pow(10.0, dbfs / 20.0); }

double AmplitudeToDb(double amplitude) { return 20.0 * std::log10(amplitude); }

std::vector<double> Sine(double frequency, double amplitude, double sampleRate, std::int32_t frames, double phase) {
  std::vector<double> signal(static_cast<std::size_t>(frames));
  for (std::int32_t i = 0; i < frames; ++i) {
    signal[static_cast<std::size_t>(i)] =
        amplitude * std::sin(tarnwell::dsp::kTwoPi * frequency * i / sampleRate + phase);
  }
  return signal;
}

std::vector<double> Noise(double amplitude, std::int32_t frames, std::uint32_t seed) {
  std::vector<double> signal(static_cast<std::size_t>(frames));
  std::uint32_t state = seed == 0 ? 1u : seed;
  for (double& sample : signal) {
    state ^= state << 13;
    state ^= state >> 17;
    state ^= state << 5;
    sample = amplitude * (2.0 * (state / 4294967295.0) - 1.0);
  }
  return signal;
}

std::vector<double> Sum(const std::vector<double>& a, const std::vector<double>& b) {
  std::vector<double> result(a);
  for (std::size_t i = 0; i < result.size() && i < b.size(); ++i) {
    result[i] += b[i];
  }
  return result;
}

double ToneAmplitude(const std::vector<double>& signal, double frequency, double sampleRate, std::int32_t start,
                     std::int32_t count) {
  double sineSum = 0.0;
  double cosineSum = 0.0;
  for (std::int32_t i = start; i < start + count; ++i) {
    const double angle = tarnwell::dsp::kTwoPi * frequency * i / sampleRate;
    sineSum += signal[static_cast<std::size_t>(i)] * std::sin(angle);
    cosineSum += signal[static_cast<std::size_t>(i)] * std::cos(angle);
  }
  return 2.0 / count * std::hypot(sineSum, cosineSum);
}

double SteadyToneGainDb(const std::vector<double>& input, const std::vector<double>& output, double frequency,
                        double sampleRate, double seconds) {
  const auto count = static_cast<std::int32_t>(seconds * sampleRate);
  const auto start = static_cast<std::int32_t>(output.size()) - count;
  return AmplitudeToDb(ToneAmplitude(output, frequency, sampleRate, start, count) /
                       ToneAmplitude(input, frequency, sampleRate, start, count));
}

bool AllFinite(const std::vector<double>& signal) {
  for (double sample : signal) {
    if (!std::isfinite(sample)) {
      return false;
    }
  }
  return true;
}
