#pragma once

#include "rack/dsp/dsp_math.h"

namespace tarnwell::dsp {

// Peak follower: `rising` is the share of the old value kept while the level is above the envelope,
// `falling` while it is not.
inline double FollowEnvelope(double envelope, double level, double rising, double falling) {
  return SmoothTowards(envelope, level, level > envelope ? rising : falling);
}

}  // namespace tarnwell::dsp
