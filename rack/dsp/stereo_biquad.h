#pragma once

#include <array>

#include "rack/dsp/biquad.h"

namespace tarnwell::dsp {

using StereoSample = std::array<double, 2>;

// One design run on both channels, with the two channels' states side by side so that the compiler
// can run the pair as one vector operation. Per channel it computes exactly what Biquad::Run does.
struct StereoBiquad {
  double b0 = 1.0;
  double b1 = 0.0;
  double b2 = 0.0;
  double a1 = 0.0;
  double a2 = 0.0;
  StereoSample z1{};
  StereoSample z2{};

  void SetCoefficients(const Biquad& design) {
    b0 = design.b0;
    b1 = design.b1;
    b2 = design.b2;
    a1 = design.a1;
    a2 = design.a2;
  }

  StereoSample Run(const StereoSample& x) {
    StereoSample y;
    for (int c = 0; c < 2; ++c) {
      y[c] = b0 * x[c] + z1[c];
      z1[c] = b1 * x[c] - a1 * y[c] + z2[c];
      z2[c] = b2 * x[c] - a2 * y[c];
    }
    return y;
  }

  void Clear() {
    z1 = {};
    z2 = {};
  }
};

// A series of sections sharing one design per section.
template <std::size_t N>
StereoSample RunChain(std::array<StereoBiquad, N>& chain, StereoSample x) {
  for (StereoBiquad& section : chain) {
    x = section.Run(x);
  }
  return x;
}

template <std::size_t N>
void ClearChain(std::array<StereoBiquad, N>& chain) {
  for (StereoBiquad& section : chain) {
    section.Clear();
  }
}

}  // namespace tarnwell::dsp
