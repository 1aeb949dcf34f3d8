// A scripted, deterministic stand-in for the browser runtime. It implements the declared
// interfaces, journals every call the code under test makes (method and arguments as UTF-8),
// queues completions instead of calling them inside the call (as the runtime does) and lets
// the test pump them. It counts references and the texts it hands out, so a test fails on a
// leak or a double free.
#pragma once

#include <gtest/gtest.h>

#include <cstdint>
#include <deque>
#include <functional>
#include <memory>
#include <set>
#include <string>
#include <vector>

#include "fake_object.h"
#include "webview/browser_runtime.h"
#include "webview/com_ptr.h"
#include "webview/webview2/webview2.h"

namespace fake {

using plugkit::webview::ComPtr;

class FakeBrowser;

// A registration list of one event: handlers kept with a reference, each under its token.
template <typename Handler>
struct EventList {
  struct Entry {
    int64_t token;
    ComPtr<Handler> handler;
  };
  std::vector<Entry> entries;

  HResult Add(FakeBrowser& browser, Handler* handler, EventRegistrationToken* token);
  bool Remove(EventRegistrationToken token);
  // A copy, so that handlers may add or remove registrations while being called.
  std::vector<ComPtr<Handler>> Snapshot() const;
};

class FakeSettings final : public FakeObject<ICoreWebView2Settings> {
 public:
  explicit FakeSettings(FakeBrowser& browser) : FakeObject("Settings"), browser_(browser) {}
  HResult put_IsScriptEnabled(Bool32 value) override;
  HResult put_IsWebMessageEnabled(Bool32 value) override;
  HResult put_AreDefaultScriptDialogsEnabled(Bool32 value) override;
  HResult put_AreDevToolsEnabled(Bool32 value) override;
  HResult put_AreDefaultContextMenusEnabled(Bool32 value) override;

 private:
  HResult Record(const char* method, Bool32 value);
  FakeBrowser& browser_;
};

class FakeWebView final : public FakeObject<ICoreWebView2_4> {
 public:
  FakeWebView(FakeBrowser& browser, bool offer3, bool offer4);
  HResult get_Settings(ICoreWebView2Settings** settings) override;
  HResult Navigate(const Char* uri) override;
  HResult add_NavigationStarting(ICoreWebView2NavigationStartingEventHandler* handler,
                                 EventRegistrationToken* token) override;
  HResult add_NavigationCompleted(ICoreWebView2NavigationCompletedEventHandler* handler,
                                  EventRegistrationToken* token) override;
  HResult AddScriptToExecuteOnDocumentCreated(
      const Char* javaScript, ICoreWebView2AddScriptToExecuteOnDocumentCreatedCompletedHandler* handler) override;
  HResult ExecuteScript(const Char* javaScript, ICoreWebView2ExecuteScriptCompletedHandler* handler) override;
  HResult add_WebMessageReceived(ICoreWebView2WebMessageReceivedEventHandler* handler,
                                 EventRegistrationToken* token) override;
  HResult add_NewWindowRequested(ICoreWebView2NewWindowRequestedEventHandler* handler,
                                 EventRegistrationToken* token) override;
  HResult SetVirtualHostNameToFolderMapping(const Char* hostName, const Char* folderPath,
                                            HostResourceAccessKind accessKind) override;
  HResult add_DownloadStarting(ICoreWebView2DownloadStartingEventHandler* handler,
                               EventRegistrationToken* token) override;

  FakeSettings settings;
  EventList<ICoreWebView2NavigationStartingEventHandler> navigationStarting;
  EventList<ICoreWebView2NavigationCompletedEventHandler> navigationCompleted;
  EventList<ICoreWebView2WebMessageReceivedEventHandler> webMessageReceived;
  EventList<ICoreWebView2NewWindowRequestedEventHandler> newWindowRequested;
  EventList<ICoreWebView2DownloadStartingEventHandler> downloadStarting;

 protected:
  bool Offers(const Guid& iid) const override;

 private:
  FakeBrowser& browser_;
  const bool offer3_;
  const bool offer4_;
};

class FakeController final : public FakeObject<ICoreWebView2Controller2> {
 public:
  FakeController(FakeBrowser& browser, bool offer3, bool offer4);
  HResult put_IsVisible(Bool32 visible) override;
  HResult put_Bounds(Rect bounds) override;
  HResult Close() override;
  HResult get_CoreWebView2(ICoreWebView2** webView) override;
  HResult put_DefaultBackgroundColor(Color color) override;

  FakeWebView webView;
  bool closed = false;
  bool visible = false;
  Rect bounds{};

 protected:
  bool Offers(const Guid& iid) const override;

 private:
  FakeBrowser& browser_;
};

class FakeEnvironment final : public FakeObject<ICoreWebView2Environment> {
 public:
  explicit FakeEnvironment(FakeBrowser& browser) : FakeObject("Environment"), browser_(browser) {}
  HResult CreateCoreWebView2Controller(void* parentWindow,
                                       ICoreWebView2CreateCoreWebView2ControllerCompletedHandler* handler) override;

 private:
  FakeBrowser& browser_;
};

class FakeDownloadOperation final : public FakeObject<ICoreWebView2DownloadOperation> {
 public:
  FakeDownloadOperation(FakeBrowser& browser, std::string mimeType, std::u16string resultPath);
  HResult add_BytesReceivedChanged(ICoreWebView2BytesReceivedChangedEventHandler* handler,
                                   EventRegistrationToken* token) override;
  HResult remove_BytesReceivedChanged(EventRegistrationToken token) override;
  HResult add_StateChanged(ICoreWebView2StateChangedEventHandler* handler, EventRegistrationToken* token) override;
  HResult remove_StateChanged(EventRegistrationToken token) override;
  HResult get_MimeType(Char** mimeType) override;
  HResult get_TotalBytesToReceive(int64_t* total) override;
  HResult get_BytesReceived(int64_t* received) override;
  HResult get_ResultFilePath(Char** path) override;
  HResult get_State(DownloadState* state) override;

  // Drivers: set the values, then raise the event.
  void SetBytes(int64_t received, int64_t total);
  void SetState(DownloadState state);

  EventList<ICoreWebView2BytesReceivedChangedEventHandler> bytesReceivedChanged;
  EventList<ICoreWebView2StateChangedEventHandler> stateChanged;
  std::u16string resultPath;

 private:
  FakeBrowser& browser_;
  std::string mimeType_;
  int64_t received_ = 0;
  int64_t total_ = 0;
  DownloadState state_ = kDownloadInProgress;
};

// What a download start left behind for the test to look at.
struct FakeDownload {
  bool handled = false;
  bool cancelled = false;
  std::string resultFilePath;  // as the handler set it (UTF-8)
  FakeDownloadOperation* operation = nullptr;
};

class FakeBrowser final : public plugkit::webview::BrowserRuntime {
 public:
  // Installs itself as the browser runtime until destroyed.
  FakeBrowser();
  ~FakeBrowser() override;

  bool LoaderFound() noexcept override { return loaderFound; }
  HResult CreateEnvironment(const Char* userDataFolder, ICoreWebView2EnvironmentOptions* options,
                            ICoreWebView2CreateCoreWebView2EnvironmentCompletedHandler* handler) override;
  void* AllocText(std::size_t bytes) noexcept override;
  void FreeText(void* text) noexcept override;

  // --- Settings.
  bool loaderFound = true;
  HResult loaderResult = kOk;  // a failure is answered at once and queues nothing
  HResult controllerCreationResult = kOk;
  HResult virtualHostMappingResult = kOk;
  bool offerWebView3 = true;  // for browsers created from now on
  bool offerWebView4 = true;
  bool navigationSucceeds = true;
  WebErrorStatus navigationStatus = kWebErrorUnknown;

  // --- Records.
  struct LoaderCall {
    bool browserFolderGiven = false;
    std::string userDataFolder;
    std::string additionalBrowserArguments;
    bool languageGiven = false;
    std::string targetBrowserVersion;
    Bool32 singleSignOn = -1;
    Bool32 exclusiveUserDataFolderAccess = -1;
    Bool32 customCrashReporting = -1;
  };
  std::vector<LoaderCall> loaderCalls;
  std::vector<std::string> journal;
  std::vector<std::string> documentScripts;
  std::vector<std::string> executedScripts;

  // --- Drivers.
  void CompleteEnvironment(HResult result, bool withEnvironment);
  void CompleteController(HResult result, bool withController);
  size_t PendingEnvironments() const { return pendingEnvironments_.size(); }
  size_t PendingControllers() const { return pendingControllers_.size(); }
  // Runs queued events (navigation results, script registrations) until none are left.
  void Pump();
  // A navigation the page starts itself; true when it was cancelled. Its result is queued.
  bool StartNavigation(const std::string& uri);
  void PostWebMessage(const std::string& json);
  // Returns whether the event ended handled.
  bool RequestNewWindow(const std::string& uri, bool offerArgs2);
  FakeDownload StartDownload(const std::string& mimeType, const std::string& proposedPath);
  void CompleteScript(size_t index, HResult result, const char* resultJson = "null");

  // The most recent objects (null before there are any).
  FakeController* LastController() const { return controllers_.empty() ? nullptr : controllers_.back().get(); }
  FakeWebView* LastWebView() const { return controllers_.empty() ? nullptr : &controllers_.back()->webView; }
  size_t ControllerCount() const { return controllers_.size(); }

  // No reference held on any fake, no release too many, every text freed exactly once.
  ::testing::AssertionResult Balanced() const;

  // Used by the fakes.
  void Record(std::string entry) { journal.push_back(std::move(entry)); }
  void Queue(std::function<void()> task) { tasks_.push_back(std::move(task)); }
  Char* NewText(const std::u16string& text);
  int64_t NextToken() { return ++lastToken_; }
  void QueueController(ComPtr<ICoreWebView2CreateCoreWebView2ControllerCompletedHandler> handler);
  void QueueScript(const std::string& script, ComPtr<ICoreWebView2ExecuteScriptCompletedHandler> handler);
  void QueueNavigation(const std::string& uri);

 private:
  bool DeliverNavigationStarting(const std::string& uri);
  template <typename T>
  T* Keep(std::unique_ptr<T> object);

  plugkit::webview::BrowserRuntime* previousRuntime_;
  std::deque<std::function<void()>> tasks_;
  std::deque<ComPtr<ICoreWebView2CreateCoreWebView2EnvironmentCompletedHandler>> pendingEnvironments_;
  std::deque<ComPtr<ICoreWebView2CreateCoreWebView2ControllerCompletedHandler>> pendingControllers_;
  std::vector<ComPtr<ICoreWebView2ExecuteScriptCompletedHandler>> scriptHandlers_;
  std::vector<std::unique_ptr<Tracked>> objects_;
  std::vector<std::unique_ptr<FakeController>> controllers_;
  std::set<void*> liveTexts_;
  int badFrees_ = 0;
  int64_t lastToken_ = 0;
};

std::string Utf8(const Char* text);
std::u16string Utf16(const std::string& text);

}  // namespace fake
