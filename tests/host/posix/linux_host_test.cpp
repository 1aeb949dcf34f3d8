// The built modules under a host that does what Linux DAWs do: it hands out a run loop of its
// own through the host context or through the editor's frame, runs the timers registered with
// it on its UI thread, and never calls a module's private exports.
#include <gtest/gtest.h>

#include <string>
#include <thread>
#include <vector>

#include "host/module.h"
#include "host/plugin_instance.h"
#include "host/run_loop_offer_name.h"
#include "platform/host_window.h"

namespace {

using namespace Steinberg;
using namespace Steinberg::Vst;
using namespace tarnwell::host;
using Offer = PluginInstance::RunLoopOffer;

constexpr int kBlock = 256;
constexpr ParamID kBay1On = 3, kBay1Effect = 4;  // Gate is effect 0 of 17, with a 48-sample look-ahead

std::vector<ComponentHandler::Call> Restarts(PluginInstance& plugin) {
  std::vector<ComponentHandler::Call> found;
  for (const auto& call : plugin.Handler().Calls())
    if (call.kind == ComponentHandler::Kind::Restart) found.push_back(call);
  return found;
}

class RunLoopOfTheHost : public ::testing::TestWithParam<Offer> {
 protected:
  // A started Tarnwell whose host offers its run loop; with the frame's loop its editor is
  // open, since only an attached view reaches the frame.
  void Open() {
    std::string error;
    ASSERT_TRUE(module.Load(TARNWELL_BUNDLE, &error)) << error;
    ASSERT_TRUE(plugin.OfferRunLoop(GetParam()));
    ASSERT_TRUE(plugin.Create(module, "Test Host", &error)) << error;
    ASSERT_TRUE(plugin.Start(48000.0, kBlock));
    if (GetParam() == Offer::Frame) {
      ASSERT_TRUE(plugin.OpenEditor());
    }
    plugin.Handler().ClearCalls();
  }

  // Bay 1 switched to the Gate by automation, in a process call on an audio thread.
  void AutomateALookAheadOnTheAudioThread() {
    plugin.InputChanges().Add(kBay1Effect, 0, 0.0);
    plugin.InputChanges().Add(kBay1On, 0, 1.0);
    std::vector<float> inL(kBlock, 0.1f), inR(kBlock, 0.1f), outL(kBlock), outR(kBlock);
    std::thread audio([&] { plugin.Process({inL.data(), inR.data()}, {outL.data(), outR.data()}, kBlock); });
    audio.join();
  }

  std::vector<uint64_t> Registered() { return plugin.OfferedRunLoop()->RegisteredIntervals(); }

  Module module;
  PluginInstance plugin;
};

TEST_P(RunLoopOfTheHost, ALatencyAskedOnTheAudioThreadReachesRestartComponentOnTheUIThread) {
  Open();
  EXPECT_EQ(Registered(), std::vector<uint64_t>{20});
  const uint32 before = plugin.Processor()->getLatencySamples();
  AutomateALookAheadOnTheAudioThread();
  EXPECT_EQ(plugin.Processor()->getLatencySamples(), before + 48);
  module.PumpUiLoop();  // the module's own loop no longer holds the idle timer
  EXPECT_TRUE(Restarts(plugin).empty());

  plugin.RunUiLoopFor(100);
  const auto restarts = Restarts(plugin);
  ASSERT_EQ(restarts.size(), 1u);
  EXPECT_EQ(restarts[0].flags, kLatencyChanged);
  EXPECT_EQ(restarts[0].thread, std::this_thread::get_id());
  EXPECT_EQ(plugin.AllocationsDuringProcess(), 0u);

  plugin.Destroy();
  EXPECT_TRUE(Registered().empty());
}

TEST_P(RunLoopOfTheHost, NoTimerIsLeftRegisteredOnceTheLoopsGiverIsGone) {
  Open();
  if (GetParam() == Offer::HostContext) {
    plugin.Terminate();
  } else {
    // The frame's loop serves while the editor is attached; then the module's own loop has the
    // timer back, which a Linux DAW never runs.
    plugin.CloseEditor();
    AutomateALookAheadOnTheAudioThread();
    plugin.RunUiLoopFor(60);
    EXPECT_TRUE(Restarts(plugin).empty());
    module.PumpUiLoop();
    EXPECT_EQ(Restarts(plugin).size(), 1u);
  }
  EXPECT_TRUE(Registered().empty());
}

INSTANTIATE_TEST_SUITE_P(Offered, RunLoopOfTheHost, ::testing::Values(Offer::HostContext, Offer::Frame),
                         tarnwell::test::OfferName);

// A host may release a view it never told of its removal.
TEST(RunLoopOfTheFrame, AViewReleasedWhileAttachedLeavesNoTimerRegistered) {
  Module module;
  std::string error;
  ASSERT_TRUE(module.Load(FIXTURE_BUNDLE, &error)) << error;
  PluginInstance plugin;
  ASSERT_TRUE(plugin.OfferRunLoop(Offer::Frame));
  ASSERT_TRUE(plugin.Create(module, "Test Host", &error)) << error;
  EXPECT_TRUE(plugin.OfferedRunLoop()->RegisteredIntervals().empty());  // no editor, no frame

  IPlugView* view = plugin.Controller()->createView(ViewType::kEditor);
  ASSERT_NE(view, nullptr);
  void* window = plugkit::platform::CreateHostWindow(227, 303);
  ASSERT_EQ(view->setFrame(&plugin.Frame()), kResultOk);
  ASSERT_EQ(view->attached(window, plugkit::platform::kViewPlatformType), kResultOk);
  EXPECT_EQ(plugin.OfferedRunLoop()->RegisteredIntervals(), std::vector<uint64_t>{20});
  view->release();
  EXPECT_TRUE(plugin.OfferedRunLoop()->RegisteredIntervals().empty());
  plugkit::platform::DestroyHostWindow(window);
}

}  // namespace
