#pragma once

#include <cmath>

#include "rack/dsp/biquad.h"

namespace tarnwell::dsp {

// Gives `to` the coefficients of `from` and keeps its state: channels that share a design pay for
// the trigonometry once.
inline void CopyCoefficients(const Biquad& from, Biquad& to) {
  to.b0 = from.b0;
  to.b1 = from.b1;
  to.b2 = from.b2;
  to.a1 = from.a1;
  to.a2 = from.a2;
}

// The peaking design of DesignPeak from a stored cosine and alpha and the amplitude
// a = 10^(gain dB / 40). Blocks that move a peak's gain every frame keep these for their fixed
// frequencies, so no trigonometric function runs per sample.
template <typename Section>
void DesignPeakFromAmplitude(Section& filter, double cosine, double alpha, double a) {
  const double n = 1.0 + alpha / a;
  filter.b0 = (1.0 + alpha * a) / n;
  filter.b1 = -2.0 * cosine / n;
  filter.b2 = (1.0 - alpha * a) / n;
  filter.a1 = filter.b1;
  filter.a2 = (1.0 - alpha / a) / n;
}

// The same design with one division where it has four, for blocks that redesign a peak every frame:
// n = 1 + alpha / a is (a + alpha) / a. Its coefficients differ from it in the last bits only.
// `Value` may also be a two-lane vector, designing two sections at once with each lane's scalar bits.
template <typename Section, typename Value>
void DesignPeakWithOneDivision(Section& filter, Value cosine, Value alpha, Value a) {
  const Value inverseSum = 1.0 / (a + alpha);
  const Value inverseN = a * inverseSum;
  const Value alphaTimesA = alpha * a;
  filter.b0 = (1.0 + alphaTimesA) * inverseN;
  filter.b1 = -2.0 * cosine * inverseN;
  filter.b2 = (1.0 - alphaTimesA) * inverseN;
  filter.a1 = filter.b1;
  filter.a2 = (a - alpha) * inverseSum;
}

inline void DesignPeakFromAngle(Biquad& filter, double cosine, double alpha, double gainDb) {
  DesignPeakFromAmplitude(filter, cosine, alpha, std::pow(10.0, gainDb / 40.0));
}

}  // namespace tarnwell::dsp
