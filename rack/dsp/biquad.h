#pragma once

namespace tarnwell::dsp {

// Second-order section in transposed direct form II. Designing writes only the coefficients, so a
// filter can be redesigned every block without a click; clearing the state is the owner's reset.
struct Biquad {
  double b0 = 1.0;
  double b1 = 0.0;
  double b2 = 0.0;
  double a1 = 0.0;
  double a2 = 0.0;
  double z1 = 0.0;
  double z2 = 0.0;

  double Run(double x) {
    const double y = b0 * x + z1;
    z1 = b1 * x - a1 * y + z2;
    z2 = b2 * x - a2 * y;
    return y;
  }

  void Clear() {
    z1 = 0.0;
    z2 = 0.0;
  }
};

// Cosine and sine of the normalised design frequency. The frequency is held at or below 0.49 x the
// rate: above half the rate the designs put their poles outside the unit circle, and fixed design
// frequencies such as 10 or 12 kHz pass it at the lowest rates the engine accepts.
struct DesignAngle {
  double cosine;
  double sine;
};
DesignAngle AngleFor(double sampleRate, double frequency);
// The same angle by FastSinCos, for designs whose frequency moves while audio runs.
DesignAngle FastAngleFor(double sampleRate, double frequency);

void DesignBandPass(Biquad& filter, double sampleRate, double frequency, double q);
void DesignHighPass(Biquad& filter, double sampleRate, double frequency, double q);
void DesignLowPass(Biquad& filter, double sampleRate, double frequency, double q);
void DesignPeak(Biquad& filter, double sampleRate, double frequency, double q, double gainDb);
void DesignHighShelf(Biquad& filter, double sampleRate, double frequency, double slope, double gainDb);
void DesignLowShelf(Biquad& filter, double sampleRate, double frequency, double slope, double gainDb);

// The designs above from an angle the caller keeps and, for the shelves, the amplitude
// a = 10^(gain dB / 40): the same arithmetic, for blocks that redesign a fixed frequency's gain or
// take the angle by FastAngleFor.
void DesignLowPassFromAngle(Biquad& filter, DesignAngle angle, double q);
void DesignHighShelfFromAmplitude(Biquad& filter, DesignAngle angle, double slope, double a);
void DesignLowShelfFromAmplitude(Biquad& filter, DesignAngle angle, double slope, double a);

}  // namespace tarnwell::dsp
