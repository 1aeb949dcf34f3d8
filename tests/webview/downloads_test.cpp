// New windows and downloads: links leave for the default browser only when they are web
// links, downloads go through the web view's hooks.
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include "platform/bundle_layout.h"
#include "recording_web_view.h"

namespace {

using namespace fake;
using ::testing::ElementsAre;
using ::testing::IsEmpty;

using NewWindowTest = WebViewFixture;

TEST_F(NewWindowTest, WebLinksOpenInTheShellWhenOnline) {
  StartBrowser();
  EXPECT_TRUE(browser.RequestNewWindow("https://tarnwell.example/help", true));
  EXPECT_TRUE(browser.RequestNewWindow("http://tarnwell.example/", true));
  ASSERT_EQ(desktop.shellCalls.size(), 2u);
  EXPECT_EQ(desktop.shellCalls[0].parentWindow, kParentWindow);
  EXPECT_EQ(desktop.shellCalls[0].uri, "https://tarnwell.example/help");

  desktop.shellResult = 32;  // the shell failed: the browser keeps the request
  EXPECT_FALSE(browser.RequestNewWindow("https://tarnwell.example/", true));
}

TEST_F(NewWindowTest, OfflineOrWithoutTheSecondInterfaceTheBrowserKeepsTheRequest) {
  StartBrowser();
  EXPECT_FALSE(browser.RequestNewWindow("https://tarnwell.example/", false));
  desktop.online = false;
  EXPECT_FALSE(browser.RequestNewWindow("https://tarnwell.example/", true));
  EXPECT_THAT(desktop.shellCalls, IsEmpty());
}

TEST_F(NewWindowTest, OtherSchemesAreRefusedWithoutTheShell) {
  StartBrowser();
  for (const char* uri : {"file:///C:/Windows/System32/calc.exe", "c:/windows/system32/calc.exe",
                          "file://server/share/tool.exe", "javascript:alert(1)", "ms-settings:", "httpx://a/"}) {
    SCOPED_TRACE(uri);
    EXPECT_TRUE(browser.RequestNewWindow(uri, true));
  }
  EXPECT_THAT(desktop.shellCalls, IsEmpty());
}

using DownloadTest = WebViewFixture;

TEST_F(DownloadTest, ByDefaultEveryDownloadIsCancelledAndReportedAsFailed) {
  StartBrowser();
  FakeDownload download = browser.StartDownload("application/zip", "C:\\Users\\u\\Downloads\\f.zip");
  EXPECT_TRUE(download.handled);
  EXPECT_TRUE(download.cancelled);
  EXPECT_EQ(download.resultFilePath, desktop.desktopFolder + plugkit::platform::kPathSeparator + "f.zip");
  EXPECT_THAT(view->downloadQuestions, ElementsAre("application/zip"));

  download.operation->SetState(kDownloadInProgress);
  EXPECT_THAT(view->failed, IsEmpty());
  download.operation->SetState(kDownloadInterrupted);
  EXPECT_THAT(view->failed, ElementsAre(download.resultFilePath));
  EXPECT_THAT(view->finished, IsEmpty());
  // The end step removed both registrations.
  EXPECT_THAT(download.operation->bytesReceivedChanged.entries, IsEmpty());
  EXPECT_THAT(download.operation->stateChanged.entries, IsEmpty());
}

TEST_F(DownloadTest, AnAllowedDownloadReportsProgressAndItsEnd) {
  view->allowDownload = true;
  StartBrowser();
  FakeDownload download = browser.StartDownload("text/plain", "/home/u/Downloads/notes.txt");
  EXPECT_FALSE(download.cancelled);
  download.operation->SetBytes(100, 400);
  download.operation->SetBytes(400, 400);
  download.operation->SetState(kDownloadCompleted);
  EXPECT_THAT(view->progress,
              ElementsAre(std::pair<int64_t, int64_t>{100, 400}, std::pair<int64_t, int64_t>{400, 400}));
  EXPECT_THAT(view->finished, ElementsAre(download.resultFilePath));
  EXPECT_THAT(view->failed, IsEmpty());
}

TEST_F(DownloadTest, OverlappingDownloadsShareOneTokenPair) {
  view->allowDownload = true;
  StartBrowser();
  FakeDownload first = browser.StartDownload("a/b", "one.bin");
  FakeDownload second = browser.StartDownload("a/b", "two.bin");
  first.operation->SetState(kDownloadCompleted);
  // The first end step removed with the second's tokens: its own registrations stay.
  EXPECT_EQ(first.operation->stateChanged.entries.size(), 1u);
  EXPECT_THAT(view->finished, ElementsAre(first.resultFilePath));
  second.operation->SetState(kDownloadCompleted);
  EXPECT_THAT(second.operation->stateChanged.entries, IsEmpty());
}

TEST_F(DownloadTest, WithoutTheFourthInterfaceDownloadsStayWithTheBrowser) {
  browser.offerWebView4 = false;
  StartBrowser();
  FakeDownload download = browser.StartDownload("application/zip", "f.zip");
  EXPECT_FALSE(download.handled);
  EXPECT_FALSE(download.cancelled);
}

}  // namespace
