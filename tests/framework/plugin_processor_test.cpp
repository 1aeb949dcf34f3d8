#include "framework/plugin_processor.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <cmath>
#include <limits>
#include <numeric>
#include <string>
#include <thread>
#include <vector>

#include "test_processor.h"

namespace plugkit {
namespace {

using testing::ConnectAll;
using testing::TestProcessor;
constexpr auto In = BusDirection::Input;
constexpr auto Out = BusDirection::Output;

std::vector<double> Ramp(int n, double start = 1.0) {
  std::vector<double> v(static_cast<size_t>(n));
  std::iota(v.begin(), v.end(), start);
  return v;
}

TEST(IPluginProcessor, ChannelRecordsFollowTheWidestLayout) {
  TestProcessor p("2.2-2");
  EXPECT_EQ(p.NChannels(In), 4);
  EXPECT_EQ(p.NChannels(Out), 2);
  EXPECT_EQ(p.ConnectedChannelCount(In), 0);
  p.SetChannelConnections(In, 1, 10, true);  // cut to the records that exist
  EXPECT_EQ(p.ConnectedChannelCount(In), 3);
  EXPECT_FALSE(p.IsChannelConnected(In, 0));
  p.SetChannelConnections(In, -2, 3, false);
  EXPECT_FALSE(p.IsChannelConnected(In, 0));
  EXPECT_TRUE(p.IsChannelConnected(In, 1));
  EXPECT_FALSE(p.IsChannelConnected(In, 4));
  EXPECT_EQ(p.MaxNChannelsForBus(In, 0), 2);
  EXPECT_EQ(p.LatencySamples(), 0);
}

TEST(IPluginProcessor, BusLabels) {
  TestProcessor p("2-2");
  struct Case {
    BusDirection direction;
    int32_t bus, count;
    const char* label;
  } cases[] = {
      {In, 0, 1, "Input"},   {In, 0, 2, "Main"},      {In, 1, 2, "Aux"},       {In, 2, 3, "Input 2"},
      {Out, 0, 1, "Output"}, {Out, 1, 2, "Output 1"}, {Out, 0, 0, "Output 0"},
  };
  for (const Case& c : cases) {
    GrowString label;
    ASSERT_TRUE(p.GetBusLabel(c.direction, c.bus, c.count, label));
    EXPECT_STREQ(label.Get(), c.label);
  }
}

TEST(IPluginProcessor, SameBlockSizeKeepsScratchAndANewOneClearsIt) {
  // An unconnected output renders into its scratch buffer: what a block leaves there is
  // what the next block finds.
  struct ScratchProbe : TestProcessor {
    using TestProcessor::TestProcessor;
    void RenderBlock(double* const*, double* const* outputs, int32_t) noexcept override {
      found = outputs[0][0];
      outputs[0][0] = 7.0;
    }
    double found = -1.0;
  } p("2-2");
  ASSERT_TRUE(p.SetBlockSize(8));
  p.ProcessBuffers(4);
  EXPECT_EQ(p.found, 0.0);
  ASSERT_TRUE(p.SetBlockSize(8));
  p.ProcessBuffers(4);
  EXPECT_EQ(p.found, 7.0);
  ASSERT_TRUE(p.SetBlockSize(16));
  p.ProcessBuffers(4);
  EXPECT_EQ(p.found, 0.0);
}

TEST(IPluginProcessor, SixtyFourBitBlockRunsInPlaceOnTheHostBuffers) {
  TestProcessor p("2-2");
  p.SetBlockSize(16);
  p.gain = 2.0;
  std::vector<double> left = Ramp(16), right = Ramp(16, 100.0);
  double* buffers[] = {left.data(), right.data()};
  ConnectAll(p);
  p.AttachBuffers(In, 0, 2, buffers);
  p.AttachBuffers(Out, 0, 2, buffers);
  p.ProcessBuffers(16);
  EXPECT_EQ(left[0], 2.0);
  EXPECT_EQ(left[15], 32.0);
  EXPECT_EQ(right[15], 230.0);
}

TEST(IPluginProcessor, ThirtyTwoBitBlockIsConvertedBothWays) {
  TestProcessor p("2-2");
  p.SetBlockSize(16);
  p.gain = 0.5;
  std::vector<float> inL(16, 0.25f), inR(16, -1.0f), outL(16, 9.0f), outR(16, 9.0f);
  float* inputs[] = {inL.data(), inR.data()};
  float* outputs[] = {outL.data(), outR.data()};
  ConnectAll(p);
  p.AttachBuffers32(In, 0, 2, inputs);
  p.AttachBuffers32(Out, 0, 2, outputs);
  p.ProcessBuffers(16);
  EXPECT_EQ(outL[15], 0.125f);
  EXPECT_EQ(outR[0], -0.5f);
  EXPECT_EQ(inL[0], 0.25f);  // the host's input is left alone
}

// A broken source upstream: neither the block routine nor the bypass path passes on a sample
// that is not finite, and the host's own input is left as it was.
TEST(IPluginProcessor, InputSamplesThatAreNotFiniteReadAsSilence) {
  const double nan = std::numeric_limits<double>::quiet_NaN(), inf = std::numeric_limits<double>::infinity();
  const std::vector<double> in = {1.0, nan, 2.0, inf, -inf, 3.0};
  const std::vector<double> expected = {1.0, 0.0, 2.0, 0.0, 0.0, 3.0};
  for (bool wide : {true, false}) {
    for (bool bypassed : {false, true}) {
      SCOPED_TRACE(std::string(wide ? "64-bit" : "32-bit") + (bypassed ? ", bypassed" : ""));
      TestProcessor p("1-1");
      p.SetBlockSize(8);
      std::vector<double> hostIn = in, out(in.size(), -9.0);
      std::vector<float> hostIn32(in.begin(), in.end()), out32(in.size(), -9.0f);
      double* inputs[] = {hostIn.data()};
      double* outputs[] = {out.data()};
      float* inputs32[] = {hostIn32.data()};
      float* outputs32[] = {out32.data()};
      ConnectAll(p);
      if (wide) {
        p.AttachBuffers(In, 0, 1, inputs);
        p.AttachBuffers(Out, 0, 1, outputs);
      } else {
        p.AttachBuffers32(In, 0, 1, inputs32);
        p.AttachBuffers32(Out, 0, 1, outputs32);
      }
      if (bypassed)
        p.PassThroughBuffers(6);
      else
        p.ProcessBuffers(6);
      if (!wide) out.assign(out32.begin(), out32.end());
      EXPECT_EQ(out, expected);
      EXPECT_TRUE(std::isnan(hostIn[1]) && std::isnan(hostIn32[1]));
    }
  }
}

TEST(IPluginProcessor, MoreFramesThanTheBlockSizeRunInPieces) {
  TestProcessor p("2-2");
  p.SetBlockSize(4);
  p.gain = 3.0;
  std::vector<float> in(10), out(10, 0.0f);
  std::iota(in.begin(), in.end(), 1.0f);
  float* inputs[] = {in.data(), in.data()};
  float* outputs[] = {out.data(), out.data()};
  ConnectAll(p);
  p.AttachBuffers32(In, 0, 2, inputs);
  p.AttachBuffers32(Out, 0, 2, outputs);
  p.ProcessBuffers(10);
  EXPECT_EQ(p.renderCalls, 3);
  EXPECT_EQ(p.lastFrames, 2);
  for (int i = 0; i < 10; ++i) EXPECT_EQ(out[static_cast<size_t>(i)], 3.0f * static_cast<float>(i + 1)) << i;
}

TEST(IPluginProcessor, UnconnectedChannelsTakeNoHostBuffer) {
  struct Recorder : TestProcessor {
    using TestProcessor::TestProcessor;
    void RenderBlock(double* const* inputs, double* const*, int32_t) noexcept override {
      for (int c = 0; c < 4; ++c) firstSamples[c] = inputs[c][0];
    }
    double firstSamples[4] = {};
  } p("2.2-2");
  p.SetBlockSize(4);
  std::vector<double> a(4, 1.0), b(4, 2.0), c(4, 3.0);
  double* inputs[] = {a.data(), b.data(), c.data()};
  ConnectAll(p);
  p.SetChannelConnections(In, 1, 1, false);
  p.AttachBuffers(In, 0, 4, inputs);
  p.ProcessBuffers(4);
  EXPECT_EQ(p.firstSamples[0], 1.0);
  EXPECT_EQ(p.firstSamples[1], 0.0);  // its scratch
  EXPECT_EQ(p.firstSamples[2], 2.0);
  EXPECT_EQ(p.firstSamples[3], 3.0);
}

TEST(IPluginProcessor, InputWithoutHostBufferReadsSilenceAfterAFed32BitBlock) {
  // The scratch of a 32-bit input holds the converted samples of the block that fed it; a
  // later block with a null or no host buffer there must not hear them again.
  TestProcessor p("2-2");
  p.SetBlockSize(8);
  std::vector<float> inL(8, 0.5f), inR(8, 0.75f), outL(8), outR(8);
  float* inputs[] = {inL.data(), inR.data()};
  float* outputs[] = {outL.data(), outR.data()};
  ConnectAll(p);
  p.AttachBuffers32(In, 0, 2, inputs);
  p.AttachBuffers32(Out, 0, 2, outputs);
  p.ProcessBuffers(8);
  ASSERT_EQ(outR[0], 0.75f);

  float* onlyLeft[] = {inL.data(), nullptr};
  p.AttachBuffers32(In, 0, 2, onlyLeft);
  p.AttachBuffers32(Out, 0, 2, outputs);
  p.ProcessBuffers(8);
  EXPECT_EQ(outL[0], 0.5f);
  EXPECT_EQ(outR[0], 0.0f);
  EXPECT_EQ(outR[7], 0.0f);

  outR.assign(8, 9.0f);
  p.AttachBuffers32(In, 0, 2, onlyLeft);
  p.AttachBuffers32(Out, 0, 2, outputs);
  p.PassThroughBuffers(8);
  EXPECT_EQ(outR[3], 0.0f);
}

TEST(IPluginProcessor, HostBuffersAreForgottenAfterTheBlock) {
  TestProcessor p("2-2");
  p.SetBlockSize(4);
  std::vector<double> in(4, 5.0), out(4, 0.0);
  double* inputs[] = {in.data(), in.data()};
  double* outputs[] = {out.data(), nullptr};  // a null host buffer stays on scratch
  ConnectAll(p);
  p.AttachBuffers(In, 0, 2, inputs);
  p.AttachBuffers(Out, 0, 2, outputs);
  p.ProcessBuffers(4);
  EXPECT_EQ(out[3], 5.0);
  std::fill(in.begin(), in.end(), 8.0);
  out.assign(4, -1.0);
  p.ProcessBuffers(4);  // no attach: scratch only, the old host buffers are untouched
  EXPECT_EQ(out[0], -1.0);
}

// Runs bypassed 64-bit blocks of the given size over in, returning what came out.
std::vector<double> Bypass(IPluginProcessor& p, const std::vector<double>& in, int32_t block) {
  std::vector<double> out(in.size(), -99.0);
  for (size_t start = 0; start < in.size(); start += static_cast<size_t>(block)) {
    const int32_t frames = std::min<int32_t>(block, static_cast<int32_t>(in.size() - start));
    double* inputs[] = {const_cast<double*>(in.data() + start), const_cast<double*>(in.data() + start)};
    double* outputs[] = {out.data() + start, out.data() + start};
    ConnectAll(p);
    p.AttachBuffers(In, 0, 2, inputs);
    p.AttachBuffers(Out, 0, 2, outputs);
    p.PassThroughBuffers(frames);
  }
  return out;
}

TEST(IPluginProcessor, BypassDelaysByTheLatency) {
  TestProcessor p("2-2", 3);
  p.SetBlockSize(4);
  p.ResetLatencyDelay();
  const std::vector<double> out = Bypass(p, Ramp(10), 4);
  EXPECT_EQ(out, (std::vector<double>{0, 0, 0, 1, 2, 3, 4, 5, 6, 7}));
  EXPECT_EQ(p.renderCalls, 0);
}

TEST(IPluginProcessor, BypassInPlaceAndWithoutLatency) {
  TestProcessor p("2-2", 2);
  p.SetBlockSize(8);
  p.ResetLatencyDelay();
  std::vector<double> samples = Ramp(6);
  double* buffers[] = {samples.data(), samples.data()};
  ConnectAll(p);
  p.AttachBuffers(In, 0, 1, buffers);
  p.AttachBuffers(Out, 0, 1, buffers);
  p.PassThroughBuffers(6);
  EXPECT_EQ(samples, (std::vector<double>{0, 0, 1, 2, 3, 4}));

  p.SetLatencySamples(0);
  EXPECT_EQ(Bypass(p, Ramp(4), 4), Ramp(4));
}

TEST(IPluginProcessor, BypassOfAnOutputWithoutInputIsSilent) {
  for (int32_t latency : {0, 2}) {
    TestProcessor p("1-2", latency);
    p.SetBlockSize(4);
    p.ResetLatencyDelay();
    std::vector<double> in = Ramp(4), outL(4, 9.0), outR(4, 9.0);
    double* inputs[] = {in.data()};
    double* outputs[] = {outL.data(), outR.data()};
    ConnectAll(p);
    p.AttachBuffers(In, 0, 1, inputs);
    p.AttachBuffers(Out, 0, 2, outputs);
    p.PassThroughBuffers(4);
    EXPECT_EQ(outR, std::vector<double>(4, 0.0)) << latency;
    EXPECT_EQ(outL[3], latency == 0 ? 4.0 : 2.0);
  }
}

TEST(IPluginProcessor, NewLatencyTakesEffectAtTheNextBlockWithAClearedLine) {
  TestProcessor p("2-2", 2);
  p.SetBlockSize(4);
  p.ReserveLatencyDelay(8);
  p.ResetLatencyDelay();
  EXPECT_EQ(Bypass(p, Ramp(4), 4), (std::vector<double>{0, 0, 1, 2}));
  p.SetLatencySamples(5);
  EXPECT_EQ(p.LatencySamples(), 5);
  EXPECT_EQ(Bypass(p, Ramp(8, 10.0), 4), (std::vector<double>{0, 0, 0, 0, 0, 10, 11, 12}));
}

TEST(IPluginProcessor, LatencyBeyondTheReserveOrNegativeFallsBackToACopy) {
  TestProcessor p("2-2", 2);
  p.SetBlockSize(4);
  p.ReserveLatencyDelay(4);
  p.ResetLatencyDelay();
  p.SetLatencySamples(5);
  EXPECT_EQ(p.LatencySamples(), 5);  // still reported: only the bypass delay cannot follow
  EXPECT_EQ(Bypass(p, Ramp(4), 4), Ramp(4));
  p.SetLatencySamples(-3);
  EXPECT_EQ(p.LatencySamples(), 0);
  EXPECT_EQ(Bypass(p, Ramp(4), 4), Ramp(4));
  p.SetLatencySamples(4);  // within the reserve again
  EXPECT_EQ(Bypass(p, Ramp(6), 4), (std::vector<double>{0, 0, 0, 0, 1, 2}));
}

TEST(IPluginProcessor, WithoutADelayLineBypassCopies) {
  TestProcessor p("2-2", 3);
  p.SetBlockSize(4);
  EXPECT_FALSE(p.HasLatencyDelay());
  EXPECT_EQ(Bypass(p, Ramp(4), 4), Ramp(4));
  TestProcessor noInputs("0-2", 3);
  noInputs.ResetLatencyDelay();
  EXPECT_FALSE(noInputs.HasLatencyDelay());
}

// The latency changes on another thread (page edits, state loads) while bypassed blocks
// run: no block may index the delay with a length its storage was not prepared for.
TEST(IPluginProcessor, LatencyChangesFromAnotherThreadWhileBlocksRun) {
  TestProcessor p("2-2", 0);
  p.SetBlockSize(64);
  p.ReserveLatencyDelay(100);
  p.ResetLatencyDelay();
  std::atomic<bool> stop{false};
  std::thread ui([&] {
    int32_t n = -20;
    while (!stop.load()) {
      p.SetLatencySamples(n);
      n = n > 400 ? -20 : n + 7;
    }
  });
  std::vector<double> in = Ramp(64), out(64);
  double* inputs[] = {in.data(), in.data()};
  double* outputs[] = {out.data(), out.data()};
  for (int block = 0; block < 20000; ++block) {
    ConnectAll(p);
    p.AttachBuffers(In, 0, 2, inputs);
    p.AttachBuffers(Out, 0, 2, outputs);
    p.PassThroughBuffers(64);
  }
  stop.store(true);
  ui.join();
  p.SetLatencySamples(10);
  const std::vector<double> settled = Bypass(p, Ramp(64), 64);
  EXPECT_EQ(settled[9], 0.0);
  EXPECT_EQ(settled[10], 1.0);
}

TEST(IPluginProcessor, MidiHooks) {
  TestProcessor p("2-2");
  p.HandleMidi(MidiMessage{3, 0x90, 60, 100});
  ASSERT_EQ(p.emitted.size(), 1u);
  EXPECT_EQ(p.emitted[0].data1, 60);
  const MidiMessage list[] = {{0, 0x90, 1, 1}, {1, 0, 0, 0}, {2, 0x80, 1, 0}};
  EXPECT_FALSE(p.EmitMidiList(list));  // the second is refused, the third still goes out
  EXPECT_EQ(p.emitted.size(), 4u);
  EXPECT_TRUE(p.EmitMidiList(std::span<const MidiMessage>(list, 1)));
  EXPECT_FALSE(p.EmitSysEx(SysExMessage{}));
}

}  // namespace
}  // namespace plugkit
