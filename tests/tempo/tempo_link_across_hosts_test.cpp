// The tempo block for real between two hosts: TarnwellTempo runs in this process's host while
// a second process renders through Tarnwell with the host tool, a tempo-synced delay in its
// first bay. The echo lands where the published tempo puts it, and where the host's own tempo
// (120 BPM) puts it when the second process looks at another block.
#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <cmath>
#include <filesystem>
#include <thread>

#include "host/module.h"
#include "host/plugin_instance.h"
#include "host/wav_file.h"
#include "platform/process_id.h"
#include "rack/dsp/scoped_environment_variable.h"
#include "signals/drum_loop.h"
#include "tempo/block_name.h"
#include "tempo/child_process.h"

namespace {

using namespace Steinberg::Vst;
using tarnwell::host::AudioFile;

constexpr double kRate = 48000.0;

// Keeps the tempo plug-in processing 100-BPM clicks in real time on a thread of its own, as a
// DAW's audio thread would, so that the block stays fresh however long the other host takes.
class RunningTempoPlugin {
 public:
  explicit RunningTempoPlugin(const tarnwell::host::Module& module) {
    std::string error;
    EXPECT_TRUE(plugin_.Create(module, "Test Host", &error)) << error;
    EXPECT_TRUE(plugin_.Start(kRate, 512, true));
    clicks_ = tarnwell::signals::RenderClickTrack(100.0, kRate, 12.0);
    // The first six seconds at once: the detector publishes after about 4.6 s of audio.
    while (position_ < static_cast<size_t>(6 * kRate)) ProcessOne();
    thread_ = std::thread([this] {
      while (!stop_.load()) {
        ProcessOne();
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
      }
    });
  }
  ~RunningTempoPlugin() {
    stop_.store(true);
    thread_.join();
  }

 private:
  void ProcessOne() {
    if (position_ + 512 > clicks_.size()) position_ = static_cast<size_t>(6 * kRate);
    double* in = clicks_.data() + position_;
    std::vector<double> outLeft(512), outRight(512);
    plugin_.Process64({in, in}, {outLeft.data(), outRight.data()}, 512);
    position_ += 512;
  }

  tarnwell::host::PluginInstance plugin_;
  std::vector<double> clicks_;
  size_t position_ = 0;
  std::atomic<bool> stop_{false};
  std::thread thread_;
};

// Renders an impulse through Tarnwell in another process with a one-beat delay, fully wet,
// in bay 1; returns the sample where the echo peaks, or -1.
long EchoThroughTarnwellInAnotherProcess(const std::string& tag) {
  const auto folder = std::filesystem::temp_directory_path() /
                      ("tarnwell-link-" + std::to_string(plugkit::platform::CurrentProcessId()) + "-" + tag);
  std::filesystem::create_directories(folder);
  AudioFile impulse;
  impulse.sampleRate = kRate;
  impulse.channels.assign(2, std::vector<float>(static_cast<size_t>(kRate), 0.0f));
  impulse.channels[0][0] = impulse.channels[1][0] = 0.5f;
  const std::string in = (folder / "impulse.wav").string(), out = (folder / "echo.wav").string();
  std::string error;
  EXPECT_TRUE(tarnwell::host::WriteWav(in, impulse, &error)) << error;

  tarnwell::test::ChildProcess host;
  EXPECT_TRUE(
      host.Start(TARNWELL_HOST, {"render", TARNWELL_BUNDLE, in, out, "--param", "Bay 1 Effect=Delay", "--param",
                                 "Bay 1 On=on", "--param", "Bay 1 Amount=100", "--param", "Bay 1 Character=6"}));
  EXPECT_EQ(host.Wait(), 0);
  AudioFile echo;
  long peak = -1;
  if (tarnwell::host::ReadWav(out, &echo, &error)) {
    float loudest = 0.0f;
    for (size_t i = 2400; i < echo.Frames(); ++i) {
      if (std::fabs(echo.channels[0][i]) > loudest) {
        loudest = std::fabs(echo.channels[0][i]);
        peak = static_cast<long>(i);
      }
    }
  } else {
    ADD_FAILURE() << error;
  }
  std::filesystem::remove_all(folder);
  return peak;
}

TEST(TempoLinkAcrossHosts, TarnwellInAnotherProcessFollowsThePublishedTempo) {
  tarnwell::test::BlockName name("hosts");
  ScopedEnvironmentVariable variable("TARNWELL_TEMPO_BLOCK", name.str());
  tarnwell::host::Module tempoModule;
  std::string error;
  ASSERT_TRUE(tempoModule.Load(TEMPO_BUNDLE, &error)) << error;
  {
    RunningTempoPlugin running(tempoModule);
    // One beat at the published 100.18 BPM is 28748 samples.
    const long followed = EchoThroughTarnwellInAnotherProcess("followed");
    EXPECT_NEAR(followed, 60.0 / 100.18 * kRate, 100.0);
  }
  // The same render looking at a block nobody writes keeps the host's 120 BPM.
  tarnwell::test::BlockName elsewhere("hosts_none");
  ScopedEnvironmentVariable other("TARNWELL_TEMPO_BLOCK", elsewhere.str());
  const long own = EchoThroughTarnwellInAnotherProcess("own");
  EXPECT_NEAR(own, 60.0 / 120.0 * kRate, 100.0);
}

}  // namespace
