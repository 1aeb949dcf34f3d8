// TarnwellTempo in the test's process, publishing to a block of the test's own: the output
// parameters and the page follow the detector only while the editor is open, the block on
// every block; the second input is heard only while connected; the editor's one size; the
// rate the detector is prepared for; a block that cannot be created.
#include <gtest/gtest.h>

#include <vector>

#include "host/host_application.h"
#include "signals/drum_loop.h"
#include "tempo/block_name.h"
#include "tempo/tarnwell_tempo.h"

namespace {

using namespace Steinberg;
using namespace Steinberg::Vst;
using tarnwell::signals::RenderClickTrack;

struct SentValue {
  int32_t paramIdx;
  double normalised;
};

class RecordingTempo final : public TarnwellTempo {
 public:
  using TarnwellTempo::TarnwellTempo;
  void SendParamValueToUI(int32_t paramIdx, double value, bool isNormalised) override {
    EXPECT_TRUE(isNormalised);
    sent.push_back({paramIdx, value});
  }
  std::vector<SentValue> sent;
};

// Reference-counted like every SDK object: released, not deleted.
struct OwnedTempo {
  explicit OwnedTempo(const char* name) : plugin(new RecordingTempo(name)) {}
  ~OwnedTempo() { plugin->release(); }
  RecordingTempo* operator->() const { return plugin; }
  RecordingTempo* plugin;
};

// Runs the signal through the block routine in 512-sample blocks, both channels the same.
void Render(TarnwellTempo& plugin, const std::vector<double>& signal) {
  std::vector<double> outLeft(512), outRight(512);
  for (size_t start = 0; start + 512 <= signal.size(); start += 512) {
    double* in[] = {const_cast<double*>(signal.data() + start), const_cast<double*>(signal.data() + start)};
    double* out[] = {outLeft.data(), outRight.data()};
    plugin.RenderBlock(in, out, 512);
  }
}

TEST(TempoClass, OutputParametersAndThePageFollowOnlyWhileTheEditorIsOpen) {
  tarnwell::test::BlockName name("class_editor");
  OwnedTempo plugin(name.c_str());
  ASSERT_TRUE(plugin->BlockWriter().IsMapped());
  plugin->ResetDsp();
  Render(*plugin.plugin, RenderClickTrack(120, 48000.0, 6.0));
  EXPECT_NEAR(LoadTempoField(plugin->BlockWriter().View()->bpm), 119.86f, 0.05f);

  // Closed: the block moves, the parameters and the page do not.
  for (int i = 0; i < 5; ++i) plugin->OnIdleTick();
  EXPECT_EQ(plugin->GetParam(ParamBpm)->Value(), 0.0);
  EXPECT_EQ(plugin->GetParam(ParamConfidence)->Value(), 0.0);
  EXPECT_TRUE(plugin->sent.empty());

  // Open: the first tick pushes both (a continuous parameter is not snapped to its step);
  // unmoved values are not sent again.
  plugin->OnEditorOpened();
  plugin->sent.clear();  // the base's full push of every parameter
  plugin->OnIdleTick();
  ASSERT_EQ(plugin->sent.size(), 2u);
  const double shown = plugin->GetParam(ParamBpm)->Value();
  EXPECT_EQ(shown, static_cast<double>(plugin->PublishedBpm()));
  EXPECT_NEAR(shown, 119.86, 0.05);
  EXPECT_EQ(plugin->sent[0].paramIdx, ParamBpm);
  EXPECT_DOUBLE_EQ(plugin->sent[0].normalised, shown / 300.0);
  EXPECT_EQ(plugin->sent[1].paramIdx, ParamConfidence);
  EXPECT_DOUBLE_EQ(plugin->sent[1].normalised, plugin->GetParam(ParamConfidence)->Value());
  EXPECT_GE(plugin->GetParam(ParamConfidence)->Value(), 0.9);
  plugin->OnIdleTick();
  EXPECT_EQ(plugin->sent.size(), 2u);

  // Silence clears the detector by and by; each tick that sees a move sends both values.
  plugin->DetachEditorWindow();
  Render(*plugin.plugin, std::vector<double>(12 * 48000, 0.0));
  EXPECT_EQ(LoadTempoField(plugin->BlockWriter().View()->bpm), 0.0f);
  plugin->OnIdleTick();
  EXPECT_EQ(plugin->GetParam(ParamBpm)->Value(), shown);
  plugin->OnEditorOpened();
  plugin->sent.clear();
  plugin->OnIdleTick();
  ASSERT_EQ(plugin->sent.size(), 2u);
  EXPECT_EQ(plugin->sent[0].normalised, 0.0);
  EXPECT_EQ(plugin->GetParam(ParamBpm)->Value(), 0.0);
  EXPECT_EQ(plugin->GetParam(ParamConfidence)->Value(), 0.0);
}

TEST(TempoClass, TempoModeScalesThePublishedTempo) {
  tarnwell::test::BlockName name("class_mode");
  OwnedTempo plugin(name.c_str());
  plugin->ResetDsp();
  const std::vector<double> clicks = RenderClickTrack(120, 48000.0, 6.0);
  Render(*plugin.plugin, clicks);
  const std::vector<double> more(clicks.begin(), clicks.begin() + 512);
  const struct {
    double mode;
    float factor;
  } cases[] = {{1.0, 0.5f}, {2.0, 2.0f}, {0.0, 1.0f}};
  const float detected = plugin->PublishedBpm();
  EXPECT_NEAR(detected, 119.86f, 0.05f);
  for (const auto& c : cases) {
    plugin->GetParam(ParamTempoMode)->SetValue(c.mode);
    Render(*plugin.plugin, more);
    EXPECT_NEAR(plugin->PublishedBpm(), detected * c.factor, 0.02f * c.factor) << c.mode;
    EXPECT_EQ(LoadTempoField(plugin->BlockWriter().View()->bpm), plugin->PublishedBpm()) << c.mode;
  }
  // Doubled, a tempo over 150 is published as 300 at most.
  OwnedTempo fast(name.c_str());
  fast->ResetDsp();
  Render(*fast.plugin, RenderClickTrack(154, 48000.0, 8.0));
  ASSERT_NEAR(fast->Detector().detectedBpm, 153.87, 0.05);
  fast->GetParam(ParamTempoMode)->SetValue(2.0);
  Render(*fast.plugin, more);
  EXPECT_EQ(fast->PublishedBpm(), 300.0f);
  EXPECT_EQ(LoadTempoField(fast->BlockWriter().View()->bpm), 300.0f);
  // No tempo stays no tempo in every mode.
  OwnedTempo fresh(name.c_str());
  fresh->GetParam(ParamTempoMode)->SetValue(2.0);
  Render(*fresh.plugin, more);
  EXPECT_EQ(fresh->PublishedBpm(), 0.0f);
}

TEST(TempoClass, DetectorIsPreparedForTheHostRateAbove8kHzElse48k) {
  tarnwell::test::BlockName name("class_rate");
  for (const auto& [rate, prepared] : {std::pair{44100.0, 44100.0}, std::pair{8000.0, 48000.0},
                                       std::pair{8001.0, 8001.0}, std::pair{192000.0, 192000.0}}) {
    OwnedTempo plugin(name.c_str());
    tarnwell::host::HostApplication host("Test Host");
    ASSERT_EQ(plugin->initialize(&host), kResultOk);
    ProcessSetup setup{kRealtime, kSample64, 512, rate};
    ASSERT_EQ(plugin->setupProcessing(setup), kResultOk);
    EXPECT_EQ(plugin->Detector().SampleRate(), prepared) << rate;
    plugin->terminate();
  }
}

// The second input reaches the detector only while it is connected; an unconnected one (its
// scratch may hold anything) leaves the detector hearing the left channel alone.
TEST(TempoClass, TheDetectorHearsTheSecondInputOnlyWhileItIsConnected) {
  tarnwell::test::BlockName name("class_mono");
  const std::vector<double> left = RenderClickTrack(120, 48000.0, 2.0), other = RenderClickTrack(97, 48000.0, 2.0);
  for (const bool stereo : {false, true}) {
    OwnedTempo plugin(name.c_str());
    plugin->ResetDsp();
    plugin->SetChannelConnections(plugkit::BusDirection::Input, 1, 1, stereo);
    TempoDetector reference;
    reference.Prepare(48000.0);
    std::vector<double> outLeft(512), outRight(512);
    for (size_t start = 0; start + 512 <= left.size(); start += 512) {
      double* in[] = {const_cast<double*>(left.data() + start), const_cast<double*>(other.data() + start)};
      double* out[] = {outLeft.data(), outRight.data()};
      plugin->RenderBlock(in, out, 512);
      reference.Feed(in[0], stereo ? in[1] : nullptr, 512);
    }
    ASSERT_GT(reference.OnsetCount(), 100) << stereo;
    EXPECT_EQ(plugin->Detector().OnsetRing(), reference.OnsetRing()) << stereo;
    EXPECT_EQ(plugin->Detector().Level(), reference.Level()) << stereo;
  }
}

TEST(TempoClass, EditorKeepsItsOneSize) {
  tarnwell::test::BlockName name("class_size");
  OwnedTempo plugin(name.c_str());
  struct Case {
    int32_t width, height;
    bool answer;
    int32_t wantWidth, wantHeight;
  };
  for (const Case& c : {Case{400, 500, false, 227, 303}, Case{227, 303, true, 227, 303}, Case{0, 500, true, 0, 500},
                        Case{227, -3, true, 227, -3}, Case{228, 303, false, 227, 303}}) {
    int32_t width = c.width, height = c.height;
    EXPECT_EQ(plugin->ConstrainEditorSize(width, height), c.answer) << c.width << "x" << c.height;
    EXPECT_EQ(width, c.wantWidth);
    EXPECT_EQ(height, c.wantHeight);
  }
}

// A block that cannot be created (here a name no mapping takes, also on the first tick's
// retry) leaves the plug-in detecting and showing the tempo, publishing nothing.
TEST(TempoClass, WithoutABlockThePluginStillDetects) {
  OwnedTempo plugin("not/a/name");
  EXPECT_FALSE(plugin->BlockWriter().IsMapped());
  plugin->OnIdleTick();
  EXPECT_FALSE(plugin->BlockWriter().IsMapped());
  plugin->ResetDsp();
  Render(*plugin.plugin, RenderClickTrack(120, 48000.0, 6.0));
  plugin->OnEditorOpened();
  plugin->OnIdleTick();
  EXPECT_NEAR(plugin->GetParam(ParamBpm)->Value(), 119.86, 0.05);
}

}  // namespace
