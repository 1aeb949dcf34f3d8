// TarnwellTempo's real page in headless Chromium, the built module loaded by our host: it
// shows the tempo and the confidence as the plug-in publishes them from the audio it hears,
// and its Tempo Mode buttons move the parameter.
#include <gtest/gtest.h>

#include <cstdlib>
#include <string>
#include <vector>

#include "host/run_loop_offer_name.h"
#include "module_editor.h"
#include "signals/drum_loop.h"

namespace {

using namespace tarnwell::browser;
using Steinberg::Vst::ParamID;

// The plug-in publishes to a block of this test's own.
struct OwnTempoBlock {
  OwnTempoBlock() : name("TarnwellTest_page_" + std::to_string(::getpid())) {
    ::setenv("TARNWELL_TEMPO_BLOCK", name.c_str(), 1);
  }
  ~OwnTempoBlock() { ::unsetenv("TARNWELL_TEMPO_BLOCK"); }
  std::string name;
};

using Offer = tarnwell::host::PluginInstance::RunLoopOffer;
using tarnwell::test::OfferName;

class TempoPage : public ::testing::Test {
 protected:
  void SetUp() override {
    SKIP_WITHOUT_CHROMIUM();
    ASSERT_TRUE(editor.Open(TEMPO_BUNDLE,
                            "PluginPage.params.length === 3 && document.querySelectorAll('#mode button').length === 3",
                            RunLoopOffered()));
  }
  virtual Offer RunLoopOffered() const { return Offer::None; }

  ParamID Id(const std::string& title) {
    ParamID id = 0;
    EXPECT_TRUE(editor.plugin.FindParameter(title, &id)) << title;
    return id;
  }
  std::string Text(const char* id) {
    return editor.Eval(std::string("document.getElementById('") + id + "').textContent");
  }

  // Six seconds of a 120 BPM click track through the plug-in, as the host's audio thread
  // would play it (the page follows at the next idle ticks).
  void PlayClicks() {
    std::vector<double> clicks = tarnwell::signals::RenderClickTrack(120.0, 48000.0, 6.0);
    std::vector<double> outLeft(512), outRight(512);
    for (size_t start = 0; start + 512 <= clicks.size(); start += 512)
      editor.plugin.Process64({clicks.data() + start, clicks.data() + start}, {outLeft.data(), outRight.data()}, 512);
  }

  OwnTempoBlock block;
  ScratchUserFolders folders;
  ModuleEditor editor;
};

TEST_F(TempoPage, ShowsNoTempoUntilOneIsDetectedThenTempoAndConfidence) {
  EXPECT_EQ(Text("bpm"), "\u2014");
  EXPECT_EQ(Text("confidence-value"), "0%");
  EXPECT_EQ(editor.Eval("document.querySelector('#mode button.on').textContent"), "Auto");
  PlayClicks();
  ASSERT_TRUE(editor.WaitFor([&] { return editor.Ready("document.getElementById('bpm').textContent === '119.9'"); }));
  EXPECT_EQ(Text("confidence-value"), "100%");
  EXPECT_EQ(editor.Eval("document.getElementById('bpm').classList.contains('unsure')"), false);

  editor.page->Click("#mode button:nth-child(2)");
  ASSERT_TRUE(editor.WaitFor([&] { return editor.Normalized(Id("Tempo Mode")) == 0.5; }));
  EXPECT_TRUE(editor.page->ScriptErrors().empty()) << editor.page->ScriptErrors().front();
}

TEST_F(TempoPage, ScreenshotWithADetectedTempo) {
  PlayClicks();
  ASSERT_TRUE(editor.WaitFor([&] { return editor.Ready("document.getElementById('bpm').textContent === '119.9'"); }));
  // The meter slides to its width; the picture waits for it.
  ASSERT_TRUE(editor.WaitFor([&] {
    return editor.Ready(
        "(() => { const m = document.getElementById('confidence'); "
        "return m.querySelector('.fill').getBoundingClientRect().width >= m.getBoundingClientRect().width - 1; })()");
  }));
  const auto path = ScreenshotFolder() / "tempo.png";
  editor.page->SaveScreenshot(path.string(), 227, 303);
  EXPECT_GT(std::filesystem::file_size(path), 2000u);
}

// Under a host that runs the idle timer from its own run loop, as Linux DAWs do.
class TempoPageOnTheHostsRunLoop : public TempoPage, public ::testing::WithParamInterface<Offer> {
 protected:
  Offer RunLoopOffered() const override { return GetParam(); }
};

TEST_P(TempoPageOnTheHostsRunLoop, TheTempoFollowsAClickTrack) {
  EXPECT_EQ(editor.plugin.OfferedRunLoop()->RegisteredIntervals(), std::vector<uint64_t>{20});
  PlayClicks();
  EXPECT_TRUE(editor.WaitFor([&] { return editor.Ready("document.getElementById('bpm').textContent === '119.9'"); }));
}

INSTANTIATE_TEST_SUITE_P(Offered, TempoPageOnTheHostsRunLoop, ::testing::Values(Offer::HostContext, Offer::Frame),
                         OfferName);

}  // namespace
