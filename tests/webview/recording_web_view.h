// An IWebView whose hooks record what reached them, with the fakes it runs against.
#pragma once

#include <gtest/gtest.h>

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "fake_browser.h"
#include "fake_desktop.h"
#include "webview/web_view.h"
#include "webview/web_view_log.h"

namespace fake {

inline void* const kParentWindow = reinterpret_cast<void*>(uintptr_t{0x5150});

class RecordingWebView : public plugkit::IWebView {
 public:
  void OnBrowserReady() override { ++browserReady; }
  void OnWebContentLoaded() override { ++contentLoaded; }
  void OnPageMessage(const char* json) override { pageMessages.push_back(json); }
  bool MayNavigateTo(const char* url) override {
    navigationQuestions.push_back(url != nullptr ? url : "(null)");
    return allowNavigation;
  }
  bool MayDownload(const char* mimeType) override {
    downloadQuestions.push_back(mimeType);
    return allowDownload;
  }
  void OnDownloadFinished(const char* path) override { finished.push_back(path); }
  void OnDownloadFailed(const char* path) override { failed.push_back(path); }
  void OnDownloadProgress(int64_t received, int64_t total) override { progress.push_back({received, total}); }

  int browserReady = 0;
  int contentLoaded = 0;
  bool allowNavigation = true;
  bool allowDownload = false;
  std::vector<std::string> pageMessages;
  std::vector<std::string> navigationQuestions;
  std::vector<std::string> downloadQuestions;
  std::vector<std::string> finished;
  std::vector<std::string> failed;
  std::vector<std::pair<int64_t, int64_t>> progress;
};

// A fake desktop and browser around one RecordingWebView; at the end the web view goes
// first and the browser must be left balanced.
class WebViewFixture : public ::testing::Test {
 protected:
  void TearDown() override {
    view.reset();
    EXPECT_TRUE(browser.Balanced());
  }

  // Opens a 680 x 588 editor and completes environment and controller.
  void StartBrowser() {
    view->OpenWebView(kParentWindow, 0, 0, 680, 588, 1.0f);
    browser.CompleteEnvironment(kOk, true);
    browser.CompleteController(kOk, true);
  }

  std::vector<std::string> WebViewLog() const { return desktop.LogLines(plugkit::webview::kWebViewLogName); }

  FakeDesktop desktop;
  FakeBrowser browser;
  std::unique_ptr<RecordingWebView> view = std::make_unique<RecordingWebView>();
};

}  // namespace fake
