#pragma once

namespace tarnwell::dsp {

// The level readings the audio thread publishes for the page; float32 on purpose, it is the wire format.
struct MeterFrame {
  float outputPeak = 0.0f;       // linear
  float gainReductionDb = 0.0f;  // dB, 0 or more
  float inputPeak = 0.0f;        // linear
  float outputPeakHold = 0.0f;   // linear
};

static_assert(sizeof(MeterFrame) == 16, "MeterFrame is sent to the page as 16 little-endian bytes");

}  // namespace tarnwell::dsp
