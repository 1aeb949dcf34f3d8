#include "rack/dsp/biquad.h"

#include <algorithm>
#include <cmath>

#include "rack/dsp/dsp_math.h"
#include "rack/dsp/fast_math.h"

namespace tarnwell::dsp {

namespace {

constexpr double kHighestDesignShareOfRate = 0.49;

// Terms shared by the band-pass, high-pass and low-pass designs, which also share their poles.
struct QTerms {
  double cw;
  double alpha;
  double n;
};

QTerms QTermsFor(DesignAngle angle, double q) {
  const double alpha = angle.sine / (2.0 * q);
  return {angle.cosine, alpha, 1.0 + alpha};
}

void SetQPoles(Biquad& filter, const QTerms& t) {
  filter.a1 = -2.0 * t.cw / t.n;
  filter.a2 = (1.0 - t.alpha) / t.n;
}

double ShelfAlpha(double sine, double a, double slope) {
  return sine / 2.0 * std::sqrt((a + 1.0 / a) * (1.0 / slope - 1.0) + 2.0);
}

double DesignRadians(double sampleRate, double frequency) {
  const double limited = std::min(frequency, kHighestDesignShareOfRate * sampleRate);
  return kTwoPi * limited / sampleRate;
}

}  // namespace

DesignAngle AngleFor(double sampleRate, double frequency) {
  const double w = DesignRadians(sampleRate, frequency);
  return {std::cos(w), std::sin(w)};
}

DesignAngle FastAngleFor(double sampleRate, double frequency) {
  const auto [sine, cosine] = FastSinCos(DesignRadians(sampleRate, frequency));
  return {cosine, sine};
}

void DesignBandPass(Biquad& filter, double sampleRate, double frequency, double q) {
  const QTerms t = QTermsFor(AngleFor(sampleRate, frequency), q);
  filter.b0 = t.alpha / t.n;
  filter.b1 = 0.0;
  filter.b2 = -t.alpha / t.n;
  SetQPoles(filter, t);
}

void DesignHighPass(Biquad& filter, double sampleRate, double frequency, double q) {
  const QTerms t = QTermsFor(AngleFor(sampleRate, frequency), q);
  filter.b0 = (1.0 + t.cw) / 2.0 / t.n;
  filter.b1 = -(1.0 + t.cw) / t.n;
  filter.b2 = (1.0 + t.cw) / 2.0 / t.n;
  SetQPoles(filter, t);
}

void DesignLowPass(Biquad& filter, double sampleRate, double frequency, double q) {
  DesignLowPassFromAngle(filter, AngleFor(sampleRate, frequency), q);
}

void DesignLowPassFromAngle(Biquad& filter, DesignAngle angle, double q) {
  const QTerms t = QTermsFor(angle, q);
  filter.b0 = (1.0 - t.cw) / 2.0 / t.n;
  filter.b1 = (1.0 - t.cw) / t.n;
  filter.b2 = (1.0 - t.cw) / 2.0 / t.n;
  SetQPoles(filter, t);
}

void DesignPeak(Biquad& filter, double sampleRate, double frequency, double q, double gainDb) {
  const auto [cw, sw] = AngleFor(sampleRate, frequency);
  const double a = std::pow(10.0, gainDb / 40.0);
  const double alpha = sw / (2.0 * q);
  const double n = 1.0 + alpha / a;
  filter.b0 = (1.0 + alpha * a) / n;
  filter.b1 = -2.0 * cw / n;
  filter.b2 = (1.0 - alpha * a) / n;
  filter.a1 = -2.0 * cw / n;
  filter.a2 = (1.0 - alpha / a) / n;
}

void DesignHighShelf(Biquad& filter, double sampleRate, double frequency, double slope, double gainDb) {
  DesignHighShelfFromAmplitude(filter, AngleFor(sampleRate, frequency), slope, std::pow(10.0, gainDb / 40.0));
}

void DesignHighShelfFromAmplitude(Biquad& filter, DesignAngle angle, double slope, double a) {
  const double cw = angle.cosine;
  const double beta = 2.0 * std::sqrt(a) * ShelfAlpha(angle.sine, a, slope);
  const double n = (a + 1.0) - (a - 1.0) * cw + beta;
  filter.b0 = a * ((a + 1.0) + (a - 1.0) * cw + beta) / n;
  filter.b1 = -2.0 * a * ((a - 1.0) + (a + 1.0) * cw) / n;
  filter.b2 = a * ((a + 1.0) + (a - 1.0) * cw - beta) / n;
  filter.a1 = 2.0 * ((a - 1.0) - (a + 1.0) * cw) / n;
  filter.a2 = ((a + 1.0) - (a - 1.0) * cw - beta) / n;
}

void DesignLowShelf(Biquad& filter, double sampleRate, double frequency, double slope, double gainDb) {
  DesignLowShelfFromAmplitude(filter, AngleFor(sampleRate, frequency), slope, std::pow(10.0, gainDb / 40.0));
}

void DesignLowShelfFromAmplitude(Biquad& filter, DesignAngle angle, double slope, double a) {
  const double cw = angle.cosine;
  const double beta = 2.0 * std::sqrt(a) * ShelfAlpha(angle.sine, a, slope);
  const double n = (a + 1.0) + (a - 1.0) * cw + beta;
  filter.b0 = a * ((a + 1.0) - (a - 1.0) * cw + beta) / n;
  filter.b1 = 2.0 * a * ((a - 1.0) - (a + 1.0) * cw) / n;
  filter.b2 = a * ((a + 1.0) - (a - 1.0) * cw - beta) / n;
  filter.a1 = -2.0 * ((a - 1.0) + (a + 1.0) * cw) / n;
  filter.a2 = ((a + 1.0) + (a - 1.0) * cw - beta) / n;
}

}  // namespace tarnwell::dsp
