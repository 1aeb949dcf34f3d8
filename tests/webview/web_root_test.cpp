// The page lookup beside the module, its log line, and the load that follows either way.
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <filesystem>

#include "platform/bundle_layout.h"
#include "plugin_fixture.h"
#include "webview/web_root.h"

namespace {

using namespace fake;
using ::testing::ElementsAre;

using WebRootTest = PluginFixture;

TEST_F(WebRootTest, TheIndexBesideTheModuleIsLoggedAndLoaded) {
  OpenEditor();
  const std::string root = desktop.resourceFolders[kThisModule];
  EXPECT_THAT(desktop.LogLines(plugkit::webview::kUiLogName),
              ElementsAre("module=ok root=" + root + " index=" + IndexPath() + " exists=1"));
  EXPECT_THAT(browser.journal,
              ::testing::Contains("WebView.SetVirtualHostNameToFolderMapping(" +
                                  std::string(plugkit::webview::kVirtualHostName) + ", " + root + "web, 2)"));
  EXPECT_THAT(desktop.resourceFolderQueries, ElementsAre(kThisModule));
}

TEST_F(WebRootTest, AMissingPageIsLoggedAndStillLoaded) {
  std::filesystem::remove_all(resources / "web");
  OpenEditor();
  EXPECT_THAT(
      desktop.LogLines(plugkit::webview::kUiLogName),
      ElementsAre("module=ok root=" + desktop.resourceFolders[kThisModule] + " index=" + IndexPath() + " exists=0"));
  EXPECT_THAT(desktop.LogLines(plugkit::webview::kWebViewLogName), ::testing::Contains("LoadFile name=" + IndexPath()));
}

TEST_F(WebRootTest, WithoutItsOwnModuleTheLookupUsesTheFallback) {
  void* const fallback = reinterpret_cast<void*>(uintptr_t{0x9900});
  desktop.moduleOfThisCode = nullptr;
  desktop.resourceFolders[fallback] = "/fallback/Resources/";
  const std::string index = plugkit::FindWebRoot(fallback);
  const std::string expected =
      std::string("/fallback/Resources/web") + plugkit::platform::kPathSeparator + "index.html";
  EXPECT_EQ(index, expected);
  EXPECT_THAT(desktop.LogLines(plugkit::webview::kUiLogName),
              ElementsAre("module=fallback root=/fallback/Resources/ index=" + expected + " exists=0"));
}

TEST_F(WebRootTest, AStatusQueryThatFailsCountsAsMissing) {
  desktop.resourceFolders[kThisModule] = "/" + std::string(300, 'x') + "/";  // name too long for the query
  const std::string index = plugkit::FindWebRoot(nullptr);
  EXPECT_TRUE(desktop.LogLines(plugkit::webview::kUiLogName).back().ends_with(" exists=0"));
  EXPECT_TRUE(index.ends_with("index.html"));
}

TEST_F(WebRootTest, AnUnwritableLogDoesNotStopThePage) {
  // A folder where the log file should be (tests run as root, so permissions cannot refuse).
  std::filesystem::create_directories(desktop.Scratch() / "temp" / plugkit::webview::kUiLogName);
  OpenEditor();
  EXPECT_THAT(desktop.LogLines(plugkit::webview::kWebViewLogName), ::testing::Contains("LoadFile name=" + IndexPath()));
  EXPECT_EQ(browser.executedScripts.size(), 4u);  // the page loaded and got its parameters
}

}  // namespace
