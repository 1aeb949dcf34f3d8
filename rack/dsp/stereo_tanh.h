#pragma once

#include "rack/dsp/fast_math.h"
#include "rack/dsp/stereo_frames.h"

namespace tarnwell::dsp {

// tanh of both channels at once for the soft clips, whose samples lie within |x| <= 2: there Lambert's
// continued fraction cut after its 21 term, x N(x^2) / D(x^2) with whole-number coefficients, is within
// 8e-16 relative of tanh (tests/rack/dsp/stereo_tanh_test.cpp measures it), costs one division for both
// channels and takes no branch that the sample decides. A channel beyond 2 (or NaN) takes FastTanh.

namespace stereo_tanh_detail {

inline constexpr double kRationalReach = 2.0;

}  // namespace stereo_tanh_detail

inline StereoFrame StereoTanh(StereoFrame x) {
  const StereoFrame y = x * x;
  const StereoFrame y2 = y * y;
  const StereoFrame y4 = y2 * y2;
  const StereoFrame numerator = (BothChannels(13749310575.0) + BothChannels(1964187225.0) * y) +
                                y2 * (BothChannels(64324260.0) + BothChannels(675675.0) * y) +
                                y4 * (BothChannels(2145.0) + y);
  const StereoFrame denominator = (BothChannels(13749310575.0) + BothChannels(6547290750.0) * y) +
                                  y2 * (BothChannels(413513100.0) + BothChannels(7567560.0) * y) +
                                  y4 * (BothChannels(45045.0) + BothChannels(66.0) * y);
  StereoFrame t = x * numerator / denominator;
  const StereoBits inReach = y <= BothChannels(stereo_tanh_detail::kRationalReach * stereo_tanh_detail::kRationalReach);
  if (!(inReach[0] && inReach[1])) [[unlikely]] {
    t = SelectChannels(inReach, t, StereoFrame{FastTanh(x[0]), FastTanh(x[1])});
  }
  return t;
}

}  // namespace tarnwell::dsp
