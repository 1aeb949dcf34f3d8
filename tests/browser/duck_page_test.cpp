// TarnwellDuck's real page in headless Chromium, the built module loaded by our host: its
// three controls follow the plug-in's parameters and move them.
#include <gtest/gtest.h>

#include <string>

#include "module_editor.h"

namespace {

using namespace tarnwell::browser;
using Steinberg::Vst::ParamID;

class DuckPage : public ::testing::Test {
 protected:
  void SetUp() override {
    SKIP_WITHOUT_CHROMIUM();
    ASSERT_TRUE(editor.Open(
        DUCK_BUNDLE, "PluginPage.params.length === 3 && document.querySelectorAll('#character button').length === 2"));
  }

  ParamID Id(const std::string& title) {
    ParamID id = 0;
    EXPECT_TRUE(editor.plugin.FindParameter(title, &id)) << title;
    return id;
  }

  bool PageShows(const std::string& script) {
    return editor.WaitFor([&] { return editor.Ready(script); });
  }

  ScratchUserFolders folders;
  ModuleEditor editor;
};

TEST_F(DuckPage, ShowsTheDefaultsAndMovesTheParameters) {
  EXPECT_EQ(editor.Eval("document.getElementById('amount-value').textContent"), "50%");
  // Sing ducks by 0.62 of the depth Speak does.
  EXPECT_EQ(editor.Eval("document.getElementById('depth').textContent"), "depth 7.4 dB");
  EXPECT_EQ(editor.Eval("document.querySelector('#character button.on').textContent"), "Sing");
  EXPECT_EQ(editor.Eval("document.getElementById('on').classList.contains('on')"), true);

  editor.page->Click("#character button:nth-child(2)");
  ASSERT_TRUE(editor.WaitFor([&] { return editor.Normalized(Id("Character")) == 1.0; }));
  EXPECT_EQ(editor.Eval("document.querySelector('#character button.on').textContent"), "Speak");
  EXPECT_EQ(editor.Eval("document.getElementById('depth').textContent"), "depth 12.0 dB");

  editor.Eval(
      "(() => { const s = document.getElementById('amount'); s.value = 0.3; s.dispatchEvent(new Event('input')); })()");
  ASSERT_TRUE(editor.WaitFor([&] { return editor.Normalized(Id("Amount")) == 0.3; }));
  EXPECT_EQ(editor.Eval("document.getElementById('depth').textContent"), "depth 7.2 dB");

  editor.page->Click("#on");
  ASSERT_TRUE(editor.WaitFor([&] { return editor.Normalized(Id("On")) == 0.0; }));
  EXPECT_EQ(editor.Eval("document.body.classList.contains('bypassed')"), true);
  EXPECT_TRUE(editor.page->ScriptErrors().empty()) << editor.page->ScriptErrors().front();
}

TEST_F(DuckPage, FollowsTheHostAndSavesAScreenshot) {
  editor.plugin.Controller()->setParamNormalized(Id("Amount"), 0.75);
  EXPECT_TRUE(PageShows("document.getElementById('amount-value').textContent === '75%'"));
  EXPECT_TRUE(PageShows("document.getElementById('depth').textContent === 'depth 11.2 dB'"));
  editor.plugin.Controller()->setParamNormalized(Id("Character"), 1.0);
  EXPECT_TRUE(PageShows("document.querySelector('#character button.on').textContent === 'Speak'"));
  EXPECT_TRUE(PageShows("document.getElementById('depth').textContent === 'depth 18.0 dB'"));
  editor.plugin.Controller()->setParamNormalized(Id("Amount"), 0.5);
  ASSERT_TRUE(PageShows("document.getElementById('amount-value').textContent === '50%'"));
  const auto path = ScreenshotFolder() / "duck.png";
  editor.page->SaveScreenshot(path.string(), 227, 303);
  EXPECT_GT(std::filesystem::file_size(path), 2000u);
}

}  // namespace
