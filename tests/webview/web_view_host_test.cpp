// The browser's life cycle through the fake: start-up, bounds, loading, navigation, page
// messages, scripts, close and destruction while completions are still under way.
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include "recording_web_view.h"
#include <algorithm>

#include "webview/browser_runtime.h"
#include "webview/environment_options.h"
#include "webview/page_scripts.h"
#include "webview/utf16_convert.h"
#include "webview/virtual_host.h"

namespace {

using namespace fake;
using ::testing::ElementsAre;
using ::testing::IsEmpty;

using WebViewHostTest = WebViewFixture;

TEST_F(WebViewHostTest, StartUpSetsUpTheBrowserInOrderAndLogsEachStep) {
  desktop.clientSizes[kParentWindow] = {680, 588};
  StartBrowser();

  ASSERT_EQ(browser.loaderCalls.size(), 1u);
  const FakeBrowser::LoaderCall& loader = browser.loaderCalls[0];
  EXPECT_EQ(loader.userDataFolder, desktop.webViewCacheFolder);
  EXPECT_EQ(loader.additionalBrowserArguments, "--disable-gpu --disable-gpu-compositing --disable-http-cache");
  EXPECT_EQ(loader.targetBrowserVersion, "131.0.2903.40");
  EXPECT_FALSE(loader.languageGiven);
  EXPECT_EQ(loader.singleSignOn, 0);
  EXPECT_EQ(loader.exclusiveUserDataFolderAccess, 0);
  EXPECT_EQ(loader.customCrashReporting, 0);

  std::vector<std::string> expected = {
      "CreateCoreWebView2EnvironmentWithOptions(" + desktop.webViewCacheFolder + ")",
      "Environment.CreateCoreWebView2Controller(0x5150)",
      "Controller.put_IsVisible(1)",
      "Settings.put_IsScriptEnabled(1)",
      "Settings.put_AreDefaultScriptDialogsEnabled(1)",
      "Settings.put_IsWebMessageEnabled(1)",
      "Settings.put_AreDefaultContextMenusEnabled(0)",
      "Settings.put_AreDevToolsEnabled(0)",
      "WebView.AddScriptToExecuteOnDocumentCreated",
      "WebView.AddScriptToExecuteOnDocumentCreated",
      "WebView.AddScriptToExecuteOnDocumentCreated",
      "WebView.add_WebMessageReceived",
      "WebView.add_NavigationStarting",
      "WebView.add_NavigationCompleted",
      "WebView.add_NewWindowRequested",
      "WebView.add_DownloadStarting",
      "Controller.put_Bounds(0,0,680,588)",
      "Controller.put_IsVisible(1)",
  };
  EXPECT_EQ(browser.journal, expected);
  ASSERT_EQ(browser.documentScripts.size(), 3u);
  for (size_t i = 0; i < 3; ++i)
    EXPECT_EQ(browser.documentScripts[i], plugkit::webview::Utf16ToUtf8(plugkit::webview::kDocumentScripts[i]));
  EXPECT_EQ(view->browserReady, 1);
  EXPECT_THAT(WebViewLog(),
              ElementsAre("Parent client=680x588", "OpenWebView initial bounds=0,0,680,588 scale=1.000000",
                          "OpenWebView cache=" + desktop.webViewCacheFolder, "EnvCompleted result=0 env=yes",
                          "ControllerCompleted result=0 controller=yes"));
  browser.Pump();  // the script registrations complete into nothing
}

TEST_F(WebViewHostTest, OpeningBoundsFollowTheDpiAndTakeANearbyClientArea) {
  struct Case {
    uint32_t dpi;
    std::pair<int32_t, int32_t> client;  // {0, 0}: not readable
    const char* bounds;
  };
  const Case cases[] = {
      {96, {680, 588}, "0,0,680,588"},     // within 2 pixels of 681 x 589
      {144, {1020, 882}, "0,0,1020,882"},  // 1.5 x: computed 1021 x 883
      {144, {1018, 882}, "0,0,1021,883"},  // 3 pixels off in width: not taken
      {144, {1020, 886}, "0,0,1021,883"},  // 3 pixels off in height
      {96, {0, 0}, "0,0,681,589"},         // no client area to compare
      {120, {850, 735}, "0,0,850,735"},    // 1.25 x: computed 851 x 736
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.bounds);
    desktop.ClearLog(plugkit::webview::kWebViewLogName);
    desktop.windowDpi[kParentWindow] = c.dpi;
    desktop.clientSizes.erase(kParentWindow);
    if (c.client.first != 0) desktop.clientSizes[kParentWindow] = c.client;
    view->OpenWebView(kParentWindow, 0, 0, 680, 588, 2.0f);
    const std::vector<std::string> log = WebViewLog();
    ASSERT_GE(log.size(), 2u);
    const std::string& boundsLine = c.client.first != 0 ? log[1] : log[0];
    EXPECT_EQ(boundsLine, std::string("OpenWebView initial bounds=") + c.bounds + " scale=2.000000");
    if (c.client.first != 0) {
      EXPECT_EQ(log[0], "Parent client=" + std::to_string(c.client.first) + "x" + std::to_string(c.client.second));
    }
    view->CloseBrowser();
  }
}

TEST_F(WebViewHostTest, ResizeTakesAnyClientAreaAndReachesALaterController) {
  view->OpenWebView(kParentWindow, 0, 0, 680, 588, 1.0f);
  desktop.clientSizes[kParentWindow] = {300, 200};
  view->ResizeBrowser(0, 0, 680, 588);  // before the controller: remembered only
  browser.CompleteEnvironment(kOk, true);
  browser.CompleteController(kOk, true);
  EXPECT_EQ(browser.LastController()->bounds.right, 300);
  EXPECT_EQ(browser.LastController()->bounds.bottom, 200);

  desktop.clientSizes.erase(kParentWindow);
  desktop.windowDpi[kParentWindow] = 192;
  view->ResizeBrowser(0, 0, 100, 50);
  EXPECT_EQ(browser.journal.back(), "Controller.put_Bounds(0,0,201,101)");
}

TEST_F(WebViewHostTest, WithoutADpiQueryTheScaleIsOne) {
  desktop.dpiQueryAvailable = false;
  EXPECT_EQ(plugkit::IWebView::WindowDpiScale(kParentWindow), 1.0f);
  desktop.dpiQueryAvailable = true;
  desktop.windowDpi[kParentWindow] = 0;
  EXPECT_EQ(plugkit::IWebView::WindowDpiScale(kParentWindow), 0.0f);
}

TEST_F(WebViewHostTest, FailedCreationIsLoggedAndLeavesTheEditorEmpty) {
  view->OpenWebView(kParentWindow, 0, 0, 680, 588, 1.0f);
  browser.CompleteEnvironment(static_cast<HResult>(0x80070002u), false);
  EXPECT_EQ(WebViewLog().back(), "EnvCompleted result=-2147024894 env=null");
  EXPECT_EQ(browser.PendingControllers(), 0u);

  view->OpenWebView(kParentWindow, 0, 0, 680, 588, 1.0f);
  browser.CompleteEnvironment(kOk, true);
  browser.CompleteController(kUnspecifiedFailure, false);
  EXPECT_EQ(WebViewLog().back(), "ControllerCompleted result=-2147467259 controller=null");
  EXPECT_EQ(view->browserReady, 0);

  // A loader that fails at once (no DLL, no runtime) ends the start-up the same way.
  browser.loaderResult = kModuleNotFound;
  view->OpenWebView(kParentWindow, 0, 0, 680, 588, 1.0f);
  EXPECT_EQ(WebViewLog().back(), "EnvCompleted result=-2147024770 env=null");
  EXPECT_EQ(browser.PendingEnvironments(), 0u);
}

TEST(WebViewWithoutRuntime, StartUpEndsAsAFailedEnvironment) {
  // No fake browser: the platform's loader finds no runtime in the test process.
  FakeDesktop desktop;
  {
    RecordingWebView view;
    view.OpenWebView(kParentWindow, 0, 0, 227, 303, 1.0f);
    EXPECT_EQ(view.browserReady, 0);
    view.LoadFile("/nowhere/index.html");
  }
  const std::vector<std::string> log = desktop.LogLines(plugkit::webview::kWebViewLogName);
  ASSERT_FALSE(log.empty());
  EXPECT_EQ(log.back(), "EnvCompleted result=-2147024770 env=null");
}

TEST_F(WebViewHostTest, LoadFileMapsTheFolderAndNavigatesToTheFile) {
  struct Case {
    const char* name;
    const char* folder;
    const char* file;
  };
  const Case cases[] = {
      {"C:\\Bundle\\Contents\\Resources\\web\\index.html", "C:\\Bundle\\Contents\\Resources\\web", "index.html"},
      {"/opt/Bundle/Contents/Resources/web/index.html", "/opt/Bundle/Contents/Resources/web", "index.html"},
      {"index.html", "", "index.html"},
      {"/index.html", "", "index.html"},  // a separator in the first place is no folder
      {"C:\\web/mixed\\page.html", "C:\\web/mixed", "page.html"},
      {nullptr, "", ""},  // no name: logged as "(null)", the bare origin is loaded
  };
  StartBrowser();
  for (const Case& c : cases) {
    const std::string shownName = c.name != nullptr ? c.name : "(null)";
    SCOPED_TRACE(shownName);
    desktop.ClearLog(plugkit::webview::kWebViewLogName);
    browser.journal.clear();
    view->LoadFile(c.name);
    const std::string url = std::string("https://") + plugkit::webview::kVirtualHostName + "/" + c.file;
    EXPECT_THAT(WebViewLog(), ElementsAre("LoadFile name=" + shownName, std::string("LoadFile webFolder=") + c.folder,
                                          "SetVirtualHostNameToFolderMapping result=0", "Navigate uri=" + url));
    EXPECT_THAT(browser.journal, ElementsAre(std::string("WebView.SetVirtualHostNameToFolderMapping(") +
                                                 plugkit::webview::kVirtualHostName + ", " + c.folder + ", 2)",
                                             "WebView.Navigate(" + url + ")"));
    plugkit::GrowString folder;
    view->GetWebFolder(folder);
    EXPECT_STREQ(folder.Get(), c.folder);
  }
}

TEST_F(WebViewHostTest, LoadFileBeforeTheBrowserIsReadyDoesNothing) {
  view->OpenWebView(kParentWindow, 0, 0, 680, 588, 1.0f);
  desktop.ClearLog(plugkit::webview::kWebViewLogName);
  view->LoadFile("C:\\web\\index.html");
  EXPECT_THAT(WebViewLog(), IsEmpty());
  plugkit::GrowString folder;
  view->GetWebFolder(folder);
  EXPECT_STREQ(folder.Get(), "");
}

TEST_F(WebViewHostTest, WithoutTheThirdInterfaceThereIsNoMappingButStillANavigation) {
  browser.offerWebView3 = false;
  browser.offerWebView4 = false;
  StartBrowser();
  EXPECT_THAT(browser.journal, ::testing::Not(::testing::Contains("WebView.add_DownloadStarting")));
  browser.journal.clear();
  view->LoadFile("C:\\web\\index.html");
  EXPECT_THAT(browser.journal,
              ElementsAre(std::string("WebView.Navigate(") + plugkit::webview::kVirtualHostOrigin + "index.html)"));
  plugkit::GrowString folder;
  view->GetWebFolder(folder);
  EXPECT_STREQ(folder.Get(), "C:\\web");
}

TEST_F(WebViewHostTest, NavigationsAreGuardedAndOnlySuccessCallsTheContentHook) {
  StartBrowser();
  desktop.ClearLog(plugkit::webview::kWebViewLogName);
  view->LoadFile("C:\\web\\index.html");
  browser.Pump();
  const std::string page = std::string(plugkit::webview::kVirtualHostOrigin) + "index.html";
  EXPECT_THAT(WebViewLog(), ElementsAre("LoadFile name=C:\\web\\index.html", "LoadFile webFolder=C:\\web",
                                        "SetVirtualHostNameToFolderMapping result=0", "Navigate uri=" + page,
                                        "NavigationStarting uri=" + page, "NavigationCompleted success=1 status=0",
                                        "Calling OnWebContentLoaded"));
  EXPECT_EQ(view->contentLoaded, 1);

  view->allowNavigation = false;
  desktop.ClearLog(plugkit::webview::kWebViewLogName);
  EXPECT_TRUE(browser.StartNavigation("https://elsewhere.example/"));
  browser.Pump();
  EXPECT_THAT(WebViewLog(), ElementsAre("NavigationStarting uri=https://elsewhere.example/",
                                        "NavigationCompleted success=0 status=14"));
  EXPECT_EQ(view->contentLoaded, 1);

  view->allowNavigation = true;
  browser.navigationSucceeds = false;
  browser.navigationStatus = kWebErrorHostNameNotResolved;
  desktop.ClearLog(plugkit::webview::kWebViewLogName);
  EXPECT_FALSE(browser.StartNavigation("https://x.example/"));
  browser.Pump();
  EXPECT_THAT(WebViewLog(),
              ElementsAre("NavigationStarting uri=https://x.example/", "NavigationCompleted success=0 status=13"));
  EXPECT_EQ(view->contentLoaded, 1);
}

TEST_F(WebViewHostTest, PageTextsCannotForgeLogLines) {
  StartBrowser();
  desktop.ClearLog(plugkit::webview::kWebViewLogName);
  browser.StartNavigation("https://x.example/a\r\nEnvCompleted result=0 env=yes\x7f\t");
  EXPECT_THAT(WebViewLog(),
              ElementsAre("NavigationStarting uri=https://x.example/a%0D%0AEnvCompleted result=0 env=yes%7F%09"));
  EXPECT_EQ(view->navigationQuestions.back(), "https://x.example/a\r\nEnvCompleted result=0 env=yes\x7f\t");
  browser.Pump();
}

TEST_F(WebViewHostTest, PageMessagesReachTheHookAsTheyCame) {
  StartBrowser();
  browser.PostWebMessage(R"({"msg":"SPVFUI","paramIdx":1,"value":0.5})");
  browser.PostWebMessage("not json at all \xc3\xa9");
  EXPECT_THAT(view->pageMessages,
              ElementsAre(R"({"msg":"SPVFUI","paramIdx":1,"value":0.5})", "not json at all \xc3\xa9"));
}

TEST_F(WebViewHostTest, ScriptsRunOnlyInALiveBrowserAndReportTheirResult) {
  std::vector<std::string> results;
  view->RunPageScript("dropped()", [&](const char* json) { results.push_back(json); });
  EXPECT_THAT(browser.executedScripts, IsEmpty());

  StartBrowser();
  view->RunPageScript("first()", [&](const char* json) { results.push_back(json); });
  view->RunPageScript("second()");
  view->RunPageScript("third()", [&](const char* json) { results.push_back(json); });
  EXPECT_THAT(browser.executedScripts, ElementsAre("first()", "second()", "third()"));
  browser.CompleteScript(0, kOk, "{\"a\":\"\xc3\xa9\"}");
  browser.CompleteScript(1, kOk);
  EXPECT_THAT(results, ElementsAre("{\"a\":\"\xc3\xa9\"}"));

  view->CloseBrowser();
  browser.CompleteScript(2, kOk, "42");  // after close: the completion is not run
  EXPECT_EQ(results.size(), 1u);
}

TEST_F(WebViewHostTest, CloseReleasesTheBrowserAndLateCompletionsBuildNothing) {
  // Closed while the environment is on its way.
  view->OpenWebView(kParentWindow, 0, 0, 680, 588, 1.0f);
  view->CloseBrowser();
  browser.CompleteEnvironment(kOk, true);
  EXPECT_EQ(browser.PendingControllers(), 0u);

  // Closed while the controller is on its way: it arrives and is closed at once.
  view->OpenWebView(kParentWindow, 0, 0, 680, 588, 1.0f);
  browser.CompleteEnvironment(kOk, true);
  view->CloseBrowser();
  browser.CompleteController(kOk, true);
  EXPECT_TRUE(browser.LastController()->closed);
  EXPECT_EQ(view->browserReady, 0);

  // A running browser: closed, references dropped; events of the old browser are ignored.
  StartBrowser();
  view->CloseBrowser();
  EXPECT_TRUE(browser.LastController()->closed);
  EXPECT_TRUE(browser.Balanced());
  browser.PostWebMessage("{}");
  browser.StartNavigation("https://x.example/");
  browser.Pump();
  EXPECT_THAT(view->pageMessages, IsEmpty());
  EXPECT_EQ(view->contentLoaded, 0);

  // Opened again: a new environment and a new browser.
  StartBrowser();
  EXPECT_EQ(browser.loaderCalls.size(), 4u);
  EXPECT_EQ(view->browserReady, 2);
}

TEST_F(WebViewHostTest, DestructionWithCompletionsInFlightTouchesNothing) {
  view->OpenWebView(kParentWindow, 0, 0, 680, 588, 1.0f);
  browser.CompleteEnvironment(kOk, true);
  view.reset();
  browser.CompleteController(kOk, true);  // under ASan a use of the freed host would show
  EXPECT_TRUE(browser.LastController()->closed);

  view = std::make_unique<RecordingWebView>();
  StartBrowser();
  view->RunPageScript("late()", [](const char*) { ADD_FAILURE() << "completion ran after destruction"; });
  const FakeDownload download = browser.StartDownload("application/zip", "C:\\Users\\u\\Downloads\\f.zip");
  view.reset();
  browser.CompleteScript(0, kOk, "1");
  download.operation->SetBytes(10, 20);
  download.operation->SetState(kDownloadInterrupted);
  browser.PostWebMessage("{}");
}

}  // namespace

namespace {

using namespace fake;

TEST_F(WebViewHostTest, ATransparentBrowserClearsItsBackgroundBeforeItIsPlaced) {
  view->SetOpaque(false);
  StartBrowser();
  const auto colour =
      std::find(browser.journal.begin(), browser.journal.end(), "Controller.put_DefaultBackgroundColor(0,0,0,0)");
  const auto bounds = std::find_if(browser.journal.begin(), browser.journal.end(),
                                   [](const std::string& entry) { return entry.starts_with("Controller.put_Bounds"); });
  ASSERT_NE(colour, browser.journal.end());
  EXPECT_LT(colour, bounds);
}

TEST(EnvironmentOptions, AnswersItsThreeInterfacesOnlyAndHandsOutCopies) {
  FakeBrowser browser;  // the allocator the getters use
  {
    auto options = plugkit::webview::EnvironmentOptions::Make();
    void* other = reinterpret_cast<void*>(1);
    EXPECT_EQ(options->QueryInterface(ICoreWebView2Settings::kIid, &other), kNoInterface);
    EXPECT_EQ(other, nullptr);
    ASSERT_TRUE(options.As<ICoreWebView2EnvironmentOptions2>());
    ASSERT_TRUE(options.As<ICoreWebView2EnvironmentOptions3>());

    EXPECT_EQ(options->put_Language(u"de-DE"), kOk);
    Char* text = nullptr;
    ASSERT_EQ(options->get_Language(&text), kOk);
    EXPECT_EQ(Utf8(text), "de-DE");
    browser.FreeText(text);
    EXPECT_EQ(options->put_Language(nullptr), kOk);
    ASSERT_EQ(options->get_Language(&text), kOk);
    EXPECT_EQ(text, nullptr);
    EXPECT_EQ(options->get_TargetCompatibleBrowserVersion(nullptr), kInvalidPointer);
  }
  EXPECT_TRUE(browser.Balanced());
}

}  // namespace
