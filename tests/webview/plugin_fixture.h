// The test plug-in with its editor open in a fake browser, the page installed in a bundle
// folder of the test's scratch folder.
#pragma once

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <memory>
#include <string>
#include <vector>

#include "fake_browser.h"
#include "fake_desktop.h"
#include "recording_web_view.h"
#include "test_plugin.h"
#include "webview/virtual_host.h"

namespace fake {

inline void* const kThisModule = reinterpret_cast<void*>(uintptr_t{0x7700});

class PluginFixture : public ::testing::Test {
 protected:
  PluginFixture() {
    resources = desktop.Scratch() / "Bundle" / "Contents" / "Resources";
    std::filesystem::create_directories(resources / "web");
    std::ofstream(resources / "web" / "index.html") << "<!doctype html>";
    desktop.moduleOfThisCode = kThisModule;
    const std::u8string folder = (resources / "").u8string();
    desktop.resourceFolders[kThisModule] = std::string(folder.begin(), folder.end());
  }

  void TearDown() override {
    plugin.reset();
    EXPECT_TRUE(browser.Balanced());
  }

  // Attaches the editor, completes the browser's start-up and the first page load.
  void OpenEditor() {
    ASSERT_EQ(plugin->AttachEditorWindow(kParentWindow), kParentWindow);
    browser.CompleteEnvironment(kOk, true);
    browser.CompleteController(kOk, true);
    browser.Pump();
  }

  std::string IndexPath() const {
    const std::u8string path = (resources / "web" / "index.html").u8string();
    return std::string(path.begin(), path.end());
  }

  FakeDesktop desktop;
  FakeBrowser browser;
  std::filesystem::path resources;
  std::unique_ptr<TestPlugin> plugin = std::make_unique<TestPlugin>();
};

}  // namespace fake
