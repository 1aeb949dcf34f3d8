// The block routine on the buffers hosts hand it: in place, mono and stereo.
#include <gtest/gtest.h>

#include <vector>

#include "rack/tarnwell_params.h"
#include "recording_tarnwell.h"

namespace {

using tarnwell::BayField;
using tarnwell::BayParam;

class RenderBlock : public ::testing::Test {
 protected:
  void SetUp() override {
    Steinberg::Vst::ProcessSetup setup{Steinberg::Vst::kRealtime, Steinberg::Vst::kSample64, 64, 48000.0};
    ASSERT_EQ(plugin->setupProcessing(setup), Steinberg::kResultOk);
    // Output 6 dB down, safety off: every sample is the input times one gain.
    plugin->GetParam(tarnwell::kOutputParam)->SetValue(-6.0);
    plugin->GetParam(tarnwell::kSafetyParam)->SetValue(0.0);
  }
  static std::vector<double> Ramp(double scale) {
    std::vector<double> v(64);
    for (size_t i = 0; i < v.size(); ++i) v[i] = scale * static_cast<double>(i) / 64.0;
    return v;
  }
  test::FakeTempoState tempo;
  test::OwnedTarnwell plugin{tempo};
  const double gain = 0.5011872336272722;  // -6 dB
};

TEST_F(RenderBlock, InPlaceBuffersAreProcessedOnce) {
  plugin->SetChannelConnections(plugkit::BusDirection::Output, 0, 2, true);
  std::vector<double> left = Ramp(0.5), right = Ramp(-0.5);
  double* channels[2] = {left.data(), right.data()};
  plugin->RenderBlock(channels, channels, 64);
  for (size_t i = 0; i < 64; ++i) {
    EXPECT_NEAR(left[i], gain * 0.5 * static_cast<double>(i) / 64.0, 1e-12) << i;
    EXPECT_NEAR(right[i], -gain * 0.5 * static_cast<double>(i) / 64.0, 1e-12) << i;
  }
}

TEST_F(RenderBlock, OneConnectedOutputRendersTheLeftChannelAlone) {
  plugin->SetChannelConnections(plugkit::BusDirection::Output, 0, 2, false);
  plugin->SetChannelConnections(plugkit::BusDirection::Output, 0, 1, true);
  std::vector<double> inL = Ramp(0.5), inR = Ramp(0.9), outL(64), outR(64, 7.0);
  double* in[2] = {inL.data(), inR.data()};
  double* out[2] = {outL.data(), outR.data()};
  plugin->RenderBlock(in, out, 64);
  for (size_t i = 0; i < 64; ++i) EXPECT_NEAR(outL[i], gain * inL[i], 1e-12) << i;
  EXPECT_EQ(outR, std::vector<double>(64, 7.0));  // not connected: not written
}

}  // namespace
