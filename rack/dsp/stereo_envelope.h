#pragma once

#include "rack/dsp/stereo_frames.h"

namespace tarnwell::dsp {

// |x| of both lanes: the sign bit cleared, as std::fabs does.
inline StereoFrame StereoAbs(StereoFrame x) {
  constexpr std::int64_t kSignBit = std::int64_t{1} << 63;
  return FramesFromBits(ChannelBits(x) & ~StereoBits{kSignBit, kSignBit});
}

// FollowEnvelope on both lanes, each with its own rising and falling coefficients; each lane gets
// the scalar's bits.
inline StereoFrame StereoFollowEnvelope(StereoFrame envelope, StereoFrame level, StereoFrame rising,
                                        StereoFrame falling) {
  const StereoFrame k = SelectChannels(level > envelope, rising, falling);
  return (BothChannels(1.0) - k) * level + k * envelope;
}

}  // namespace tarnwell::dsp
