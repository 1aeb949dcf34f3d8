// Each plug-in's audio thread running without pause while the UI thread does what a DAW's UI
// thread does meanwhile: parameters set and read, state saved and restored, latency read, the
// idle timer run and, for Tarnwell, the editor's page used. Also two instances of each on two
// audio threads, and TarnwellTempo and Tarnwell sharing a tempo block. The checks here are
// what the host sees; the tsan preset builds the same test under ThreadSanitizer, where any
// race ends the run.
#include <gtest/gtest.h>

#include <chrono>
#include <cmath>
#include <cstdlib>
#include <filesystem>
#include <functional>
#include <memory>
#include <numbers>
#include <random>
#include <string>
#include <vector>

#include "audio_thread.h"
#include "host/module.h"
#include "host/parameter_infos.h"
#include "host/plugin_instance.h"
#include "module_editor.h"
#include "platform/shared_memory.h"
#include "signals/drum_loop.h"
#include "tempo/block_name.h"
#include "tempo/tempo_block.h"

namespace {

using namespace Steinberg;
using namespace Steinberg::Vst;
using tarnwell::host::Module;
using tarnwell::host::PluginInstance;
using tarnwell::test::AudioThread;

constexpr double kRate = 48000.0;

// Long enough for thousands of overlapping calls even under ThreadSanitizer's slowdown.
std::chrono::milliseconds RunTime() {
  const char* seconds = std::getenv("TARNWELL_CONCURRENCY_SECONDS");
  return std::chrono::milliseconds(static_cast<int>(1000 * (seconds != nullptr ? std::atof(seconds) : 2.0)));
}

struct Plugin {
  const char* name;
  const char* bundle;
  int inputs, outputs;
};

const Plugin kTarnwell{"Tarnwell", TARNWELL_BUNDLE, 2, 2};
const Plugin kTempo{"TarnwellTempo", TEMPO_BUNDLE, 2, 2};
const Plugin kDuck{"TarnwellDuck", DUCK_BUNDLE, 4, 2};

// What each plug-in hears: a voice-like tone for Tarnwell, with automation that switches
// effects (and so the latency) now and then; clicks at 120 BPM for TarnwellTempo; a bed and
// a voice that comes and goes on the side-chain for TarnwellDuck.
AudioThread::Feed FeedFor(const Plugin& plugin) {
  const std::string name = plugin.name;
  if (name == "TarnwellTempo") {
    auto clicks = std::make_shared<std::vector<double>>(tarnwell::signals::RenderClickTrack(120.0, kRate, 4.0));
    return [clicks](int64_t frame, std::vector<std::vector<float>>& in, PluginInstance&) {
      for (size_t i = 0; i < in[0].size(); ++i)
        in[0][i] = in[1][i] = static_cast<float>((*clicks)[static_cast<size_t>(frame + i) % clicks->size()]);
    };
  }
  if (name == "TarnwellDuck") {
    return [](int64_t frame, std::vector<std::vector<float>>& in, PluginInstance&) {
      const bool voice = (frame / 24000) % 2 == 0;
      for (size_t i = 0; i < in[0].size(); ++i) {
        const double t = static_cast<double>(frame + static_cast<int64_t>(i)) / kRate;
        in[0][i] = in[1][i] = static_cast<float>(0.3 * std::sin(2 * std::numbers::pi * 110.0 * t));
        in[2][i] = in[3][i] = voice ? static_cast<float>(0.5 * std::sin(2 * std::numbers::pi * 330.0 * t)) : 0.0f;
      }
    };
  }
  return [](int64_t frame, std::vector<std::vector<float>>& in, PluginInstance& host) {
    for (size_t i = 0; i < in[0].size(); ++i) {
      const double t = static_cast<double>(frame + static_cast<int64_t>(i)) / kRate;
      in[0][i] = in[1][i] = static_cast<float>(0.4 * std::sin(2 * std::numbers::pi * 180.0 * t) +
                                               0.1 * std::sin(2 * std::numbers::pi * 3500.0 * t));
    }
    const int64_t block = frame / AudioThread::kBlock;
    if (block % 32 != 0) return;
    const int32 bay = static_cast<int32>((block / 32) % 10);
    const int32 effect = static_cast<int32>((block / 32) % 17);
    host.InputChanges().Add(static_cast<ParamID>(3 + 5 * bay), 0, 1.0);                       // On
    host.InputChanges().Add(static_cast<ParamID>(4 + 5 * bay), 0, effect / 17.0);             // Effect
    host.InputChanges().Add(static_cast<ParamID>(6 + 5 * bay), 0, ((block / 32) % 5) / 4.0);  // Amount
  };
}

// The UI thread's share of one round on an instance.
class UiThreadWork {
 public:
  explicit UiThreadWork(PluginInstance& plugin) : plugin_(plugin) {
    for (const ParameterInfo& info : tarnwell::host::ParameterInfos(plugin.Controller()))
      if ((info.flags & ParameterInfo::kIsReadOnly) == 0) params_.push_back(info.id);
  }

  void Round() {
    IEditController* controller = plugin_.Controller();
    const ParamID id = params_[random_() % params_.size()];
    controller->setParamNormalized(id, std::uniform_real_distribution<double>(0.0, 1.0)(random_));
    for (ParamID each : params_) {
      String128 text{};
      if (controller->getParamStringByValue(each, controller->getParamNormalized(each), text) != kResultOk) ++failures;
    }
    plugin_.Processor()->getLatencySamples();
    if (++rounds % 8 == 0) {
      std::vector<uint8_t> chunk;
      if (!plugin_.SaveState(&chunk) || !plugin_.LoadState(chunk)) ++failures;
      ++stateRounds;
    }
    plugin_.RunUiLoopFor(2);
  }

  int rounds = 0;
  int stateRounds = 0;
  int failures = 0;

 private:
  PluginInstance& plugin_;
  std::vector<ParamID> params_;
  std::mt19937 random_{7};
};

void ExpectCleanAudio(AudioThread& audio, PluginInstance& plugin, const char* name) {
  audio.Stop();
  EXPECT_GT(audio.Blocks(), 100) << name;
  EXPECT_EQ(audio.FailedCalls(), 0) << name;
  EXPECT_EQ(audio.NonFiniteBlocks(), 0) << name;
  EXPECT_EQ(plugin.AllocationsDuringProcess(), 0u) << name;
}

struct Running {
  // With a run loop offered, the idle timer runs from the host's loop as in a Linux DAW;
  // without, from the module's own.
  explicit Running(const Plugin& which, PluginInstance::RunLoopOffer offer = PluginInstance::RunLoopOffer::None)
      : plugin(which) {
    std::string error;
    if (offer != PluginInstance::RunLoopOffer::None) {
      EXPECT_TRUE(instance.OfferRunLoop(offer));
    }
    EXPECT_TRUE(module.Load(which.bundle, &error)) << error;
    EXPECT_TRUE(instance.Create(module, "Concurrency Test", &error)) << error;
    EXPECT_TRUE(instance.Start(kRate, AudioThread::kBlock));
    work = std::make_unique<UiThreadWork>(instance);
    audio = std::make_unique<AudioThread>(instance, which.inputs, which.outputs, FeedFor(which));
  }
  void Check() {
    ExpectCleanAudio(*audio, instance, plugin.name);
    EXPECT_GT(work->stateRounds, 0) << plugin.name;
    EXPECT_EQ(work->failures, 0) << plugin.name;
  }

  const Plugin& plugin;
  Module module;
  PluginInstance instance;
  std::unique_ptr<UiThreadWork> work;
  std::unique_ptr<AudioThread> audio;
};

void RunRounds(const std::vector<Running*>& sessions, const std::function<void(int)>& extra = {}) {
  const auto end = std::chrono::steady_clock::now() + RunTime();
  for (int round = 0; std::chrono::steady_clock::now() < end; ++round) {
    for (Running* session : sessions) session->work->Round();
    if (extra) extra(round);
  }
}

class Concurrency : public ::testing::TestWithParam<Plugin> {
 protected:
  tarnwell::test::BlockName block{"concurrency"};
  tarnwell::browser::ScratchUserFolders folders;
  void SetUp() override { ::setenv("TARNWELL_TEMPO_BLOCK", block.c_str(), 1); }
  void TearDown() override { ::unsetenv("TARNWELL_TEMPO_BLOCK"); }
};

TEST_P(Concurrency, AudioThreadRunsOnWhileTheUiThreadWorks) {
  Running session(GetParam());
  RunRounds({&session});
  session.Check();
}

TEST_P(Concurrency, TwoInstancesProcessOnTwoAudioThreadsAtOnce) {
  Running first(GetParam()), second(GetParam(), PluginInstance::RunLoopOffer::HostContext);
  RunRounds({&first, &second});
  first.Check();
  second.Check();
}

INSTANTIATE_TEST_SUITE_P(Modules, Concurrency, ::testing::Values(kTarnwell, kTempo, kDuck),
                         [](const ::testing::TestParamInfo<Plugin>& info) { return std::string(info.param.name); });

TEST_F(Concurrency, TempoAndTarnwellShareTheTempoBlockFromTwoAudioThreads) {
  Running tempo(kTempo), rack(kTarnwell);
  RunRounds({&tempo, &rack});
  tempo.Check();
  rack.Check();
  plugkit::platform::SharedMemory memory;
  ASSERT_TRUE(memory.OpenReadOnly(block.c_str(), sizeof(TempoBlock)));
  TempoBlockReading reading{};
  bool read = false;
  for (int attempt = 0; attempt < 100 && !read; ++attempt)
    read = TryReadTempoBlock(*static_cast<const TempoBlock*>(memory.Data()), &reading);
  ASSERT_TRUE(read);
  EXPECT_EQ(reading.magic, kTempoBlockMagic);
  // The UI thread moves the tempo mode too, so the tempo is 120 BPM or a half or double of it.
  EXPECT_GT(reading.bpm, 0.0f) << "a tempo was published for Tarnwell to read";
  memory.Close();
}

// The page used as a user uses it while the audio runs: effects chosen in the bays (parameter
// gestures), factory presets loaded, presets saved, listed and loaded back.
TEST_F(Concurrency, TarnwellWithItsEditorOpenAndThePageInUse) {
  SKIP_WITHOUT_CHROMIUM();
  tarnwell::browser::ModuleEditor editor;
  ASSERT_TRUE(editor.Open(TARNWELL_BUNDLE,
                          "PluginPage.params.length === 53 && document.querySelectorAll('.bay').length === 10"));
  UiThreadWork work(editor.plugin);
  AudioThread audio(editor.plugin, 2, 2, FeedFor(kTarnwell));
  int saved = 0;
  const char* factory[] = {"factory:present", "factory:speech"};
  RunRounds({}, [&](int round) {
    work.Round();
    auto& page = *editor.page;
    switch (round % 4) {
      case 0:
        editor.Eval("(() => { const s = document.querySelector(\"[data-bay='" + std::to_string(round % 10 + 1) +
                    "'] .effect\"); s.value = '" + std::to_string(round % 17) +
                    "'; s.dispatchEvent(new Event('change')); })()");
        break;
      case 1:
        page.Click(std::string("[data-id='") + factory[(round / 4) % 2] + "']");
        page.Click("#load");
        break;
      case 2:
        editor.Eval("document.getElementById('save-name').value = 'Take " + std::to_string(saved++ % 3) + "'");
        page.Click("#save");
        break;
      default:
        if (editor.Ready("!!document.querySelector(\"[data-id='user:Take 0.json']\")")) {
          page.Click("[data-id='user:Take 0.json']");
          page.Click("#load");
        }
    }
    editor.WaitFor([] { return true; });
  });
  ExpectCleanAudio(audio, editor.plugin, "Tarnwell");
  EXPECT_EQ(work.failures, 0);
  EXPECT_GT(saved, 0);
  EXPECT_TRUE(editor.WaitFor([&] { return std::filesystem::exists(folders.Presets() / "Take 0.json"); }));
  EXPECT_TRUE(editor.page->ScriptErrors().empty()) << editor.page->ScriptErrors().front();
}

}  // namespace
