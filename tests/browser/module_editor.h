// A built module's editor in the real browser, opened through our host as a DAW opens it:
// the module's web view finds the test backend as its loader library, and the test drives
// the page, the host's UI loop and the plug-in's parameters from one thread.
#pragma once

#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <functional>
#include <map>
#include <memory>
#include <optional>
#include <string>

#include "browser_test_support.h"
#include "host/module.h"
#include "host/plugin_instance.h"

namespace tarnwell::browser {

// The user's folders of the posix stand-in (presets, session, browser cache) moved into a
// fresh scratch folder for the test's lifetime.
class ScratchUserFolders {
 public:
  ScratchUserFolders() {
    root_ = std::filesystem::temp_directory_path() /
            ("tarnwell-browser-test-" + std::to_string(::getpid()) + "-" + std::to_string(counter_++));
    std::filesystem::remove_all(root_);
    for (const char* variable : {"LOCALAPPDATA", "XDG_CONFIG_HOME", "XDG_DATA_HOME", "XDG_DESKTOP_DIR"}) {
      const char* old = std::getenv(variable);
      saved_[variable] = old != nullptr ? std::optional<std::string>(old) : std::nullopt;
      const std::filesystem::path folder = root_ / variable;
      std::filesystem::create_directories(folder);
      ::setenv(variable, folder.c_str(), 1);
    }
  }
  ~ScratchUserFolders() {
    for (const auto& [variable, value] : saved_) {
      if (value)
        ::setenv(variable.c_str(), value->c_str(), 1);
      else
        ::unsetenv(variable.c_str());
    }
    std::error_code ignored;
    std::filesystem::remove_all(root_, ignored);
  }
  const std::filesystem::path& Root() const { return root_; }
  // Where the plug-in keeps its presets under the scratch local application data folder.
  std::filesystem::path Presets() const { return root_ / "LOCALAPPDATA" / "Tarnwell" / "Presets"; }

 private:
  static inline int counter_ = 0;
  std::filesystem::path root_;
  std::map<std::string, std::optional<std::string>> saved_;
};

class ModuleEditor {
 public:
  ModuleEditor() = default;
  ~ModuleEditor() { Close(); }
  ModuleEditor(const ModuleEditor&) = delete;
  ModuleEditor& operator=(const ModuleEditor&) = delete;

  // Loads the bundle, starts the plug-in, opens its editor and waits until pageReady (a
  // script) is true in its page. With a run loop offered, the host runs the plug-in's timers
  // from it as a Linux DAW does.
  ::testing::AssertionResult Open(const std::string& bundle, const std::string& pageReady,
                                  host::PluginInstance::RunLoopOffer offer = host::PluginInstance::RunLoopOffer::None) {
    std::string error;
    if (!plugin.OfferRunLoop(offer)) return ::testing::AssertionFailure() << "no run loop to offer";
    if (!module.Load(bundle, &error)) return ::testing::AssertionFailure() << "cannot load " << bundle << ": " << error;
    if (!plugin.Create(module, "Tarnwell Browser Test", &error)) return ::testing::AssertionFailure() << error;
    if (!plugin.Start(48000.0, kBlock)) return ::testing::AssertionFailure() << "the plug-in did not start";
    if (!plugin.OpenEditor()) return ::testing::AssertionFailure() << "the editor did not open";
    if (!WaitFor([&] { return (page = LatestPage()) != nullptr && Ready(pageReady); }))
      return ::testing::AssertionFailure() << "the page never became ready: " << pageReady;
    return ::testing::AssertionSuccess();
  }

  // Closes the editor, ends the plug-in and the module, and waits for the browser to end. A
  // timer left on the host's run loop would be called into an unloaded module.
  void Close() {
    page.reset();
    plugin.CloseEditor();
    plugin.Destroy();
    if (plugin.OfferedRunLoop() != nullptr) {
      EXPECT_TRUE(plugin.OfferedRunLoop()->RegisteredIntervals().empty()) << "a timer outlived its plug-in";
    }
    module.Unload();
    EXPECT_TRUE(WaitUntil([] { return RunningBrowsers().empty(); })) << "a browser outlived its editor";
  }

  // Pumps the browser and the host's UI loop (the plug-in's 20 ms idle timer) until done holds.
  bool WaitFor(const std::function<bool()>& done) {
    return WaitUntil(done, [this] { plugin.PumpUiLoop(); });
  }

  // The script's value in the page, false while the page cannot answer yet.
  bool Ready(const std::string& script) {
    try {
      return page != nullptr && page->Evaluate(script) == true;
    } catch (const std::exception&) {
      return false;
    }
  }

  Json Eval(const std::string& script) { return page->Evaluate(script); }

  double Normalized(Steinberg::Vst::ParamID id) { return plugin.Controller()->getParamNormalized(id); }

  static constexpr int kBlock = 512;
  host::Module module;
  host::PluginInstance plugin;
  std::shared_ptr<BrowserPage> page;
};

}  // namespace tarnwell::browser
