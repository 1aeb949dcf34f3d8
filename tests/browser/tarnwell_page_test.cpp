// Tarnwell's real page in headless Chromium, the built module loaded by our host: the page
// shows the rack as the plug-in holds it, a moved control changes the parameter in the
// plug-in and tells the host, a parameter changed by the host moves the control, a factory
// preset chosen in the page is applied, a preset saved in the page is listed and loads back,
// and the meters follow the audio.
#include <gtest/gtest.h>

#include <cmath>
#include <fstream>
#include <string>
#include <vector>

#include "host/run_loop_offer_name.h"
#include "host/text.h"
#include "module_editor.h"

namespace {

using namespace tarnwell::browser;
using Steinberg::Vst::ParamID;

constexpr char kPageReady[] = "PluginPage.params.length === 53 && document.querySelectorAll('.bay').length === 10";

using Offer = tarnwell::host::PluginInstance::RunLoopOffer;
using tarnwell::test::OfferName;

class TarnwellPage : public ::testing::Test {
 protected:
  void SetUp() override {
    SKIP_WITHOUT_CHROMIUM();
    ASSERT_TRUE(editor.Open(TARNWELL_BUNDLE, kPageReady, RunLoopOffered()));
  }
  virtual Offer RunLoopOffered() const { return Offer::None; }

  ParamID Id(const std::string& title) {
    ParamID id = 0;
    EXPECT_TRUE(editor.plugin.FindParameter(title, &id)) << title;
    return id;
  }

  std::string Text(const std::string& selector) {
    return editor.Eval("document.querySelector(" + Json(selector).dump() + ").textContent").get<std::string>();
  }

  bool PageShows(const std::string& script) {
    return editor.WaitFor([&] { return editor.Ready(script); });
  }

  // A user's choice in a select: the value picked, then the change the browser reports.
  void Choose(const std::string& selector, int option) {
    editor.Eval("(() => { const s = document.querySelector(" + Json(selector).dump() + "); s.value = '" +
                std::to_string(option) + "'; s.dispatchEvent(new Event('change')); })()");
  }

  // Runs stereo blocks of a sine of the given peak through the plug-in.
  void Play(float peak, int blocks) {
    std::vector<float> left(ModuleEditor::kBlock), right(ModuleEditor::kBlock), outLeft(ModuleEditor::kBlock),
        outRight(ModuleEditor::kBlock);
    for (int b = 0; b < blocks; ++b) {
      for (int i = 0; i < ModuleEditor::kBlock; ++i)
        left[i] = right[i] = peak * std::sin(0.0628f * static_cast<float>(b * ModuleEditor::kBlock + i));
      ASSERT_EQ(
          editor.plugin.Process({left.data(), right.data()}, {outLeft.data(), outRight.data()}, ModuleEditor::kBlock),
          Steinberg::kResultOk);
    }
    EXPECT_EQ(editor.plugin.AllocationsDuringProcess(), 0u);
  }

  ScratchUserFolders folders;
  ModuleEditor editor;
};

TEST_F(TarnwellPage, ShowsTheRackAsThePlugInHoldsIt) {
  // A fresh rack: every bay empty and off, both gains 0 dB, Safety on.
  EXPECT_EQ(editor.Eval("[...document.querySelectorAll('.bay .effect')].every(s => s.value === '17')"), true);
  EXPECT_EQ(editor.Eval("document.querySelectorAll('.bay.off.empty').length"), 10);
  EXPECT_EQ(Text("#input-gain-value"), "0.0 dB");
  EXPECT_EQ(Text("#output-gain-value"), "0.0 dB");
  EXPECT_EQ(editor.Eval("document.getElementById('safety').classList.contains('on')"), true);
  // The idle tick sends the version and the current preset.
  EXPECT_TRUE(PageShows("document.getElementById('version').textContent === 'v1.0.10'"));
  EXPECT_TRUE(PageShows("document.getElementById('current-preset').textContent === 'Empty'"));
  EXPECT_TRUE(PageShows("document.getElementById('tempo-source').textContent === 'host'"));
  EXPECT_TRUE(editor.page->BlockedRequests().empty()) << editor.page->BlockedRequests().front();
  EXPECT_TRUE(editor.page->ScriptErrors().empty()) << editor.page->ScriptErrors().front();
}

TEST_F(TarnwellPage, TheChoicesReadAsTheHostShowsThem) {
  // The page keeps no list of its own: each option is the text the host gets for that value.
  struct Case {
    const char* select;
    const char* title;
    size_t count;
  };
  for (const Case& c : {Case{"[data-bay='1'] .effect", "Bay 1 Effect", 18},
                        Case{"[data-bay='10'] .character", "Bay 10 Character", 16}}) {
    SCOPED_TRACE(c.title);
    const Json options =
        editor.Eval("[...document.querySelector(" + Json(c.select).dump() + ").options].map(o => o.text)");
    ASSERT_EQ(options.size(), c.count);
    for (size_t i = 0; i < c.count; ++i) {
      Steinberg::Vst::String128 text{};
      ASSERT_EQ(
          editor.plugin.Controller()->getParamStringByValue(Id(c.title), static_cast<double>(i) / (c.count - 1), text),
          Steinberg::kResultOk);
      EXPECT_EQ(options[i], tarnwell::host::Utf16ToUtf8(text, 128)) << i;
    }
  }
  EXPECT_EQ(
      editor.Eval("[...document.querySelectorAll('.preset-row')].map(r => r.dataset.id + '=' + r.textContent)"),
      Json::array({"factory:empty=Empty", "factory:present=Present", "factory:speech=Speech", "factory:live=Live"}));
}

TEST_F(TarnwellPage, MovingAControlChangesTheParameterInThePlugIn) {
  editor.plugin.Handler().ClearCalls();
  Choose("[data-bay='3'] .effect", 4);  // Compressor
  editor.page->Click("[data-bay='3'] .bay-on");
  Choose("[data-bay='3'] .character", 2);
  editor.page->Click("#safety");
  ASSERT_TRUE(editor.WaitFor([&] { return editor.Normalized(Id("Safety")) == 0.0; }));
  EXPECT_DOUBLE_EQ(editor.Normalized(Id("Bay 3 Effect")), 4.0 / 17.0);
  EXPECT_EQ(editor.Normalized(Id("Bay 3 On")), 1.0);
  EXPECT_DOUBLE_EQ(editor.Normalized(Id("Bay 3 Character")), 2.0 / 15.0);

  // A drag on the amount slider: one gesture around the edits.
  editor.Eval(
      "(() => { const s = document.querySelector(\"[data-bay='3'] .amount\");"
      " s.dispatchEvent(new PointerEvent('pointerdown')); s.value = 0.8; s.dispatchEvent(new Event('input'));"
      " s.dispatchEvent(new PointerEvent('pointerup')); })()");
  ASSERT_TRUE(editor.WaitFor([&] { return editor.Normalized(Id("Bay 3 Amount")) == 0.8; }));
  EXPECT_EQ(Text("[data-bay='3'] .amount-value"), "80%");

  // The host heard of every change, the amount inside its gesture.
  std::vector<std::string> calls;
  for (const auto& call : editor.plugin.Handler().Calls())
    if (call.id == Id("Bay 3 Amount"))
      calls.push_back(call.kind == tarnwell::host::ComponentHandler::Kind::Begin     ? "begin"
                      : call.kind == tarnwell::host::ComponentHandler::Kind::Perform ? "perform"
                                                                                     : "end");
  EXPECT_EQ(calls, (std::vector<std::string>{"begin", "perform", "end"}));
}

TEST_F(TarnwellPage, AParameterChangedInThePlugInMovesTheControl) {
  auto* controller = editor.plugin.Controller();
  controller->setParamNormalized(Id("Bay 2 Effect"), 11.0 / 17.0);  // Plate
  controller->setParamNormalized(Id("Bay 2 Amount"), 0.6);
  controller->setParamNormalized(Id("Input"), 0.75);  // +6 dB
  controller->setParamNormalized(Id("Bay 2 Solo"), 1.0);
  controller->setParamNormalized(Id("Bay 2 On"), 1.0);
  EXPECT_TRUE(PageShows("document.querySelector(\"[data-bay='2'] .effect\").value === '11'"));
  EXPECT_TRUE(PageShows("document.querySelector(\"[data-bay='2'] .amount-value\").textContent === '60%'"));
  EXPECT_TRUE(PageShows("document.getElementById('input-gain-value').textContent === '+6.0 dB'"));
  // A soloed bay dims every other one.
  EXPECT_TRUE(PageShows("document.querySelectorAll('.bay.solo-hidden').length === 9"));
}

TEST_F(TarnwellPage, AFactoryPresetChosenInThePageIsApplied) {
  editor.page->Click("[data-id='factory:present']");
  editor.page->Click("#load");
  ASSERT_TRUE(editor.WaitFor([&] { return editor.Normalized(Id("Bay 1 On")) == 1.0; }));
  EXPECT_DOUBLE_EQ(editor.Normalized(Id("Bay 1 Effect")), 4.0 / 17.0);  // Compressor
  EXPECT_NEAR(editor.plugin.Controller()->normalizedParamToPlain(Id("Output"), editor.Normalized(Id("Output"))), -3.8,
              1e-6);
  EXPECT_TRUE(PageShows("document.getElementById('current-preset').textContent === 'Present'"));
  EXPECT_TRUE(PageShows("document.querySelector(\"[data-bay='8'] .effect\").value === '11'"));
  EXPECT_EQ(Text("#output-gain-value"), "-3.8 dB");
}

TEST_F(TarnwellPage, APresetSavedInThePageIsListedAndLoadsBack) {
  // Enough presets already there that the list reply is far longer than one script call
  // used to carry; it must reach the page whole.
  std::filesystem::create_directories(folders.Presets() / "Takes");
  for (int i = 0; i < 60; ++i) {
    const std::string name = "Earlier take number " + std::to_string(i) + " with a long descriptive name";
    std::ofstream(folders.Presets() / "Takes" / (name + ".json")) << Json{{"name", name}, {"slots", Json::array()}};
  }
  Choose("[data-bay='2'] .effect", 11);  // Plate
  editor.page->Click("[data-bay='2'] .bay-on");
  ASSERT_TRUE(editor.WaitFor([&] { return editor.Normalized(Id("Bay 2 On")) == 1.0; }));

  editor.Eval("document.getElementById('save-name').value = 'Plate Take'");
  editor.page->Click("#save");
  ASSERT_TRUE(PageShows("!!document.querySelector(\"[data-id='user:Plate Take.json']\")"));
  EXPECT_TRUE(PageShows("document.querySelectorAll(\".preset-row[data-id^='user:Takes/']\").length === 60"));
  EXPECT_TRUE(PageShows("document.getElementById('current-preset').textContent === 'Plate Take'"));
  std::ifstream saved(folders.Presets() / "Plate Take.json");
  const Json file = Json::parse(saved);
  EXPECT_EQ(file["name"], "Plate Take");
  EXPECT_EQ(file["slots"][1]["type"], 11);
  EXPECT_EQ(file["slots"][1]["on"], true);

  // Another rack, then the saved one chosen from the list.
  editor.page->Click("[data-id='factory:speech']");
  editor.page->Click("#load");
  ASSERT_TRUE(editor.WaitFor([&] { return editor.Normalized(Id("Bay 2 Effect")) == 1.0 / 17.0; }));  // De-Mud
  editor.page->Click("[data-id='user:Plate Take.json']");
  editor.page->Click("#load");
  ASSERT_TRUE(editor.WaitFor([&] { return editor.Normalized(Id("Bay 2 Effect")) == 11.0 / 17.0; }));
  EXPECT_EQ(editor.Normalized(Id("Bay 2 On")), 1.0);
  EXPECT_EQ(editor.Normalized(Id("Bay 1 On")), 0.0);
  EXPECT_TRUE(PageShows("document.getElementById('current-preset').textContent === 'Plate Take'"));
  EXPECT_TRUE(PageShows("document.querySelector(\"[data-bay='2'] .effect\").value === '11'"));
  EXPECT_TRUE(editor.page->ScriptErrors().empty()) << editor.page->ScriptErrors().front();
}

TEST_F(TarnwellPage, TheMetersFollowTheAudio) {
  Play(0.5f, 32);
  ASSERT_TRUE(PageShows("document.getElementById('meter-in-value').textContent === '-6.0'"));
  EXPECT_EQ(Text("#meter-out-value"), "-6.0");
  Play(0.0f, 64);
  // Silence: the input meter falls at once, the held output peak stays for a while.
  ASSERT_TRUE(PageShows("document.getElementById('meter-in-value').textContent === '-inf'"));
  EXPECT_EQ(Text("#meter-out-value"), "-6.0");
}

TEST_F(TarnwellPage, Screenshot) {
  // A library as a user has it: a preset of their own and a cloud pack, listed again after a
  // save from the page.
  for (const auto& [file, name] :
       {std::pair{"Vocals/Lead.json", "Lead"}, {"Cloud/Studio Pack/Warm Voice.json", "Warm Voice"}}) {
    std::filesystem::create_directories((folders.Presets() / file).parent_path());
    std::ofstream(folders.Presets() / file) << Json{{"name", name}, {"slots", Json::array()}};
  }
  editor.page->Click("[data-id='factory:present']");
  editor.page->Click("#load");
  ASSERT_TRUE(PageShows("document.getElementById('current-preset').textContent === 'Present'"));
  editor.Eval("document.getElementById('save-name').value = 'My Present'");
  editor.page->Click("#save");
  ASSERT_TRUE(PageShows("!!document.querySelector(\"[data-id='user:My Present.json']\")"));
  ASSERT_TRUE(PageShows("!!document.querySelector(\"[data-id='cloud:Cloud/Studio Pack/Warm Voice.json']\")"));
  Play(0.4f, 48);
  ASSERT_TRUE(PageShows("document.getElementById('meter-in-value').textContent !== '-inf'"));
  const auto path = ScreenshotFolder() / "tarnwell.png";
  editor.page->SaveScreenshot(path.string(), 680, 588);
  EXPECT_GT(std::filesystem::file_size(path), 10000u);
}

// Under a host that runs the idle timer from its own run loop, as Linux DAWs do.
class TarnwellPageOnTheHostsRunLoop : public TarnwellPage, public ::testing::WithParamInterface<Offer> {
 protected:
  Offer RunLoopOffered() const override { return GetParam(); }
};

TEST_P(TarnwellPageOnTheHostsRunLoop, PresetRepliesAndMetersArrive) {
  EXPECT_EQ(editor.plugin.OfferedRunLoop()->RegisteredIntervals(), std::vector<uint64_t>{20});
  editor.page->Click("[data-id='factory:present']");
  editor.page->Click("#load");
  EXPECT_TRUE(PageShows("document.getElementById('current-preset').textContent === 'Present'"));
  Play(0.5f, 32);
  EXPECT_TRUE(PageShows("document.getElementById('meter-in-value').textContent === '-6.0'"));
}

INSTANTIATE_TEST_SUITE_P(Offered, TarnwellPageOnTheHostsRunLoop, ::testing::Values(Offer::HostContext, Offer::Frame),
                         OfferName);

}  // namespace
