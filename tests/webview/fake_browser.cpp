#include "fake_browser.h"

#include <cstdlib>
#include <cstring>
#include <sstream>

#include "webview/utf16_convert.h"

namespace fake {

std::string Utf8(const Char* text) { return text != nullptr ? plugkit::webview::Utf16ToUtf8(text) : "(null)"; }
std::u16string Utf16(const std::string& text) { return plugkit::webview::Utf8ToUtf16(text); }

namespace {

template <typename T>
HResult Store(T* out, T value) {
  if (out == nullptr) return kInvalidPointer;
  *out = value;
  return kOk;
}

// Event arguments: each lives as long as the browser, like every other fake.
class WebMessageArgs final : public FakeObject<ICoreWebView2WebMessageReceivedEventArgs> {
 public:
  WebMessageArgs(FakeBrowser& browser, std::u16string json)
      : FakeObject("WebMessageReceivedEventArgs"), browser_(browser), json_(std::move(json)) {}
  HResult get_WebMessageAsJson(Char** json) override { return Store(json, browser_.NewText(json_)); }

 private:
  FakeBrowser& browser_;
  std::u16string json_;
};

class NavigationStartingArgs final : public FakeObject<ICoreWebView2NavigationStartingEventArgs> {
 public:
  NavigationStartingArgs(FakeBrowser& browser, std::u16string uri)
      : FakeObject("NavigationStartingEventArgs"), browser_(browser), uri_(std::move(uri)) {}
  HResult get_Uri(Char** uri) override { return Store(uri, browser_.NewText(uri_)); }
  HResult put_Cancel(Bool32 cancel) override {
    browser_.Record("NavigationStartingEventArgs.put_Cancel(" + std::to_string(cancel) + ")");
    cancelled = cancel != 0;
    return kOk;
  }
  bool cancelled = false;

 private:
  FakeBrowser& browser_;
  std::u16string uri_;
};

class NavigationCompletedArgs final : public FakeObject<ICoreWebView2NavigationCompletedEventArgs> {
 public:
  NavigationCompletedArgs(bool success, WebErrorStatus status)
      : FakeObject("NavigationCompletedEventArgs"), success_(success), status_(status) {}
  HResult get_IsSuccess(Bool32* success) override { return Store<Bool32>(success, success_ ? 1 : 0); }
  HResult get_WebErrorStatus(WebErrorStatus* status) override { return Store(status, status_); }

 private:
  bool success_;
  WebErrorStatus status_;
};

class NewWindowArgs final : public FakeObject<ICoreWebView2NewWindowRequestedEventArgs2> {
 public:
  NewWindowArgs(FakeBrowser& browser, std::u16string uri, bool offerArgs2)
      : FakeObject("NewWindowRequestedEventArgs"), browser_(browser), uri_(std::move(uri)), offerArgs2_(offerArgs2) {}
  HResult get_Uri(Char** uri) override { return Store(uri, browser_.NewText(uri_)); }
  HResult put_Handled(Bool32 handled) override {
    browser_.Record("NewWindowRequestedEventArgs.put_Handled(" + std::to_string(handled) + ")");
    this->handled = handled != 0;
    return kOk;
  }
  bool handled = false;

 protected:
  bool Offers(const Guid& iid) const override {
    return iid == ICoreWebView2NewWindowRequestedEventArgs::kIid ||
           (offerArgs2_ && iid == ICoreWebView2NewWindowRequestedEventArgs2::kIid);
  }

 private:
  FakeBrowser& browser_;
  std::u16string uri_;
  bool offerArgs2_;
};

class DownloadStartingArgs final : public FakeObject<ICoreWebView2DownloadStartingEventArgs> {
 public:
  DownloadStartingArgs(FakeBrowser& browser, FakeDownloadOperation& operation, std::u16string resultPath)
      : FakeObject("DownloadStartingEventArgs"),
        resultPath(std::move(resultPath)),
        browser_(browser),
        operation_(operation) {}
  std::u16string resultPath;

  HResult get_DownloadOperation(ICoreWebView2DownloadOperation** operation) override {
    operation_.AddRef();
    return Store<ICoreWebView2DownloadOperation*>(operation, &operation_);
  }
  HResult put_Cancel(Bool32 cancel) override {
    browser_.Record("DownloadStartingEventArgs.put_Cancel(" + std::to_string(cancel) + ")");
    cancelled = cancel != 0;
    return kOk;
  }
  HResult get_ResultFilePath(Char** path) override { return Store(path, browser_.NewText(resultPath)); }
  HResult put_ResultFilePath(const Char* path) override {
    browser_.Record("DownloadStartingEventArgs.put_ResultFilePath(" + Utf8(path) + ")");
    resultPath = path != nullptr ? path : u"";
    return kOk;
  }
  HResult put_Handled(Bool32 handled) override {
    browser_.Record("DownloadStartingEventArgs.put_Handled(" + std::to_string(handled) + ")");
    this->handled = handled != 0;
    return kOk;
  }
  bool cancelled = false;
  bool handled = false;

 private:
  FakeBrowser& browser_;
  FakeDownloadOperation& operation_;
};

}  // namespace

// --- EventList

template <typename Handler>
HResult EventList<Handler>::Add(FakeBrowser& browser, Handler* handler, EventRegistrationToken* token) {
  if (handler == nullptr || token == nullptr) return kInvalidPointer;
  token->value = browser.NextToken();
  entries.push_back({token->value, ComPtr<Handler>::Share(handler)});
  return kOk;
}

template <typename Handler>
bool EventList<Handler>::Remove(EventRegistrationToken token) {
  for (auto it = entries.begin(); it != entries.end(); ++it) {
    if (it->token == token.value) {
      entries.erase(it);
      return true;
    }
  }
  return false;
}

template <typename Handler>
std::vector<ComPtr<Handler>> EventList<Handler>::Snapshot() const {
  std::vector<ComPtr<Handler>> handlers;
  for (const Entry& entry : entries) handlers.push_back(entry.handler);
  return handlers;
}

// --- Settings

HResult FakeSettings::Record(const char* method, Bool32 value) {
  browser_.Record(std::string("Settings.") + method + "(" + std::to_string(value) + ")");
  return kOk;
}
HResult FakeSettings::put_IsScriptEnabled(Bool32 value) { return Record("put_IsScriptEnabled", value); }
HResult FakeSettings::put_IsWebMessageEnabled(Bool32 value) { return Record("put_IsWebMessageEnabled", value); }
HResult FakeSettings::put_AreDefaultScriptDialogsEnabled(Bool32 value) {
  return Record("put_AreDefaultScriptDialogsEnabled", value);
}
HResult FakeSettings::put_AreDevToolsEnabled(Bool32 value) { return Record("put_AreDevToolsEnabled", value); }
HResult FakeSettings::put_AreDefaultContextMenusEnabled(Bool32 value) {
  return Record("put_AreDefaultContextMenusEnabled", value);
}

// --- WebView

FakeWebView::FakeWebView(FakeBrowser& browser, bool offer3, bool offer4)
    : FakeObject("WebView"), settings(browser), browser_(browser), offer3_(offer3), offer4_(offer4) {}

bool FakeWebView::Offers(const Guid& iid) const {
  return iid == ICoreWebView2::kIid || iid == ICoreWebView2_2::kIid || (offer3_ && iid == ICoreWebView2_3::kIid) ||
         (offer4_ && iid == ICoreWebView2_4::kIid);
}

HResult FakeWebView::get_Settings(ICoreWebView2Settings** out) {
  settings.AddRef();
  return Store<ICoreWebView2Settings*>(out, &settings);
}

HResult FakeWebView::Navigate(const Char* uri) {
  browser_.Record("WebView.Navigate(" + Utf8(uri) + ")");
  browser_.QueueNavigation(Utf8(uri));
  return kOk;
}

HResult FakeWebView::add_NavigationStarting(ICoreWebView2NavigationStartingEventHandler* handler,
                                            EventRegistrationToken* token) {
  browser_.Record("WebView.add_NavigationStarting");
  return navigationStarting.Add(browser_, handler, token);
}

HResult FakeWebView::add_NavigationCompleted(ICoreWebView2NavigationCompletedEventHandler* handler,
                                             EventRegistrationToken* token) {
  browser_.Record("WebView.add_NavigationCompleted");
  return navigationCompleted.Add(browser_, handler, token);
}

HResult FakeWebView::AddScriptToExecuteOnDocumentCreated(
    const Char* javaScript, ICoreWebView2AddScriptToExecuteOnDocumentCreatedCompletedHandler* handler) {
  browser_.Record("WebView.AddScriptToExecuteOnDocumentCreated");
  browser_.documentScripts.push_back(Utf8(javaScript));
  if (handler != nullptr) {
    auto held = ComPtr<ICoreWebView2AddScriptToExecuteOnDocumentCreatedCompletedHandler>::Share(handler);
    browser_.Queue([held] { held->Invoke(kOk, u"script-id"); });
  }
  return kOk;
}

HResult FakeWebView::ExecuteScript(const Char* javaScript, ICoreWebView2ExecuteScriptCompletedHandler* handler) {
  browser_.QueueScript(Utf8(javaScript), ComPtr<ICoreWebView2ExecuteScriptCompletedHandler>::Share(handler));
  return kOk;
}

HResult FakeWebView::add_WebMessageReceived(ICoreWebView2WebMessageReceivedEventHandler* handler,
                                            EventRegistrationToken* token) {
  browser_.Record("WebView.add_WebMessageReceived");
  return webMessageReceived.Add(browser_, handler, token);
}

HResult FakeWebView::add_NewWindowRequested(ICoreWebView2NewWindowRequestedEventHandler* handler,
                                            EventRegistrationToken* token) {
  browser_.Record("WebView.add_NewWindowRequested");
  return newWindowRequested.Add(browser_, handler, token);
}

HResult FakeWebView::SetVirtualHostNameToFolderMapping(const Char* hostName, const Char* folderPath,
                                                       HostResourceAccessKind accessKind) {
  browser_.Record("WebView.SetVirtualHostNameToFolderMapping(" + Utf8(hostName) + ", " + Utf8(folderPath) + ", " +
                  std::to_string(accessKind) + ")");
  return browser_.virtualHostMappingResult;
}

HResult FakeWebView::add_DownloadStarting(ICoreWebView2DownloadStartingEventHandler* handler,
                                          EventRegistrationToken* token) {
  browser_.Record("WebView.add_DownloadStarting");
  return downloadStarting.Add(browser_, handler, token);
}

// --- Controller

FakeController::FakeController(FakeBrowser& browser, bool offer3, bool offer4)
    : FakeObject("Controller"), webView(browser, offer3, offer4), browser_(browser) {}

bool FakeController::Offers(const Guid& iid) const {
  return iid == ICoreWebView2Controller::kIid || iid == ICoreWebView2Controller2::kIid;
}

HResult FakeController::put_IsVisible(Bool32 visible) {
  browser_.Record("Controller.put_IsVisible(" + std::to_string(visible) + ")");
  this->visible = visible != 0;
  return kOk;
}

HResult FakeController::put_Bounds(Rect bounds) {
  browser_.Record("Controller.put_Bounds(" + std::to_string(bounds.left) + "," + std::to_string(bounds.top) + "," +
                  std::to_string(bounds.right) + "," + std::to_string(bounds.bottom) + ")");
  this->bounds = bounds;
  return kOk;
}

HResult FakeController::Close() {
  browser_.Record("Controller.Close");
  closed = true;
  return kOk;
}

HResult FakeController::get_CoreWebView2(ICoreWebView2** out) {
  webView.AddRef();
  return Store<ICoreWebView2*>(out, &webView);
}

HResult FakeController::put_DefaultBackgroundColor(Color color) {
  browser_.Record("Controller.put_DefaultBackgroundColor(" + std::to_string(color.a) + "," + std::to_string(color.r) +
                  "," + std::to_string(color.g) + "," + std::to_string(color.b) + ")");
  return kOk;
}

// --- Environment

HResult FakeEnvironment::CreateCoreWebView2Controller(
    void* parentWindow, ICoreWebView2CreateCoreWebView2ControllerCompletedHandler* handler) {
  std::ostringstream window;
  window << parentWindow;
  browser_.Record("Environment.CreateCoreWebView2Controller(" + window.str() + ")");
  if (browser_.controllerCreationResult < 0) return browser_.controllerCreationResult;
  browser_.QueueController(ComPtr<ICoreWebView2CreateCoreWebView2ControllerCompletedHandler>::Share(handler));
  return kOk;
}

// --- Download operation

FakeDownloadOperation::FakeDownloadOperation(FakeBrowser& browser, std::string mimeType, std::u16string resultPath)
    : FakeObject("DownloadOperation"),
      resultPath(std::move(resultPath)),
      browser_(browser),
      mimeType_(std::move(mimeType)) {}

HResult FakeDownloadOperation::add_BytesReceivedChanged(ICoreWebView2BytesReceivedChangedEventHandler* handler,
                                                        EventRegistrationToken* token) {
  HResult result = bytesReceivedChanged.Add(browser_, handler, token);
  browser_.Record("DownloadOperation.add_BytesReceivedChanged(" + std::to_string(token ? token->value : 0) + ")");
  return result;
}

HResult FakeDownloadOperation::remove_BytesReceivedChanged(EventRegistrationToken token) {
  const bool found = bytesReceivedChanged.Remove(token);
  browser_.Record("DownloadOperation.remove_BytesReceivedChanged(" + std::to_string(token.value) +
                  (found ? ")" : ", unknown)"));
  return kOk;
}

HResult FakeDownloadOperation::add_StateChanged(ICoreWebView2StateChangedEventHandler* handler,
                                                EventRegistrationToken* token) {
  HResult result = stateChanged.Add(browser_, handler, token);
  browser_.Record("DownloadOperation.add_StateChanged(" + std::to_string(token ? token->value : 0) + ")");
  return result;
}

HResult FakeDownloadOperation::remove_StateChanged(EventRegistrationToken token) {
  const bool found = stateChanged.Remove(token);
  browser_.Record("DownloadOperation.remove_StateChanged(" + std::to_string(token.value) +
                  (found ? ")" : ", unknown)"));
  return kOk;
}

HResult FakeDownloadOperation::get_MimeType(Char** mimeType) {
  return Store(mimeType, browser_.NewText(Utf16(mimeType_)));
}
HResult FakeDownloadOperation::get_TotalBytesToReceive(int64_t* total) { return Store(total, total_); }
HResult FakeDownloadOperation::get_BytesReceived(int64_t* received) { return Store(received, received_); }
HResult FakeDownloadOperation::get_ResultFilePath(Char** path) { return Store(path, browser_.NewText(resultPath)); }
HResult FakeDownloadOperation::get_State(DownloadState* state) { return Store(state, state_); }

void FakeDownloadOperation::SetBytes(int64_t received, int64_t total) {
  received_ = received;
  total_ = total;
  for (auto& handler : bytesReceivedChanged.Snapshot()) handler->Invoke(this, nullptr);
}

void FakeDownloadOperation::SetState(DownloadState state) {
  state_ = state;
  for (auto& handler : stateChanged.Snapshot()) handler->Invoke(this, nullptr);
}

// --- Browser

FakeBrowser::FakeBrowser() : previousRuntime_(plugkit::webview::InstallBrowserRuntime(this)) {}

FakeBrowser::~FakeBrowser() {
  plugkit::webview::InstallBrowserRuntime(previousRuntime_);
  // Handlers first: they are ours and may hold what the fakes below are checked against.
  tasks_.clear();
  pendingEnvironments_.clear();
  pendingControllers_.clear();
  scriptHandlers_.clear();
  controllers_.clear();
  objects_.clear();
  for (void* text : liveTexts_) std::free(text);
}

template <typename T>
T* FakeBrowser::Keep(std::unique_ptr<T> object) {
  T* kept = object.get();
  objects_.push_back(std::move(object));
  return kept;
}

HResult FakeBrowser::CreateEnvironment(const Char* userDataFolder, ICoreWebView2EnvironmentOptions* options,
                                       ICoreWebView2CreateCoreWebView2EnvironmentCompletedHandler* handler) {
  // What the real loader sees: the options as their getters report them.
  LoaderCall call;
  call.userDataFolder = userDataFolder != nullptr ? Utf8(userDataFolder) : "(null)";
  if (options != nullptr) {
    Char* text = nullptr;
    options->get_AdditionalBrowserArguments(&text);
    call.additionalBrowserArguments = Utf8(text);
    FreeText(text);
    text = nullptr;
    options->get_Language(&text);
    call.languageGiven = text != nullptr;
    FreeText(text);
    text = nullptr;
    options->get_TargetCompatibleBrowserVersion(&text);
    call.targetBrowserVersion = Utf8(text);
    FreeText(text);
    options->get_AllowSingleSignOnUsingOSPrimaryAccount(&call.singleSignOn);
    ComPtr<ICoreWebView2EnvironmentOptions> held = ComPtr<ICoreWebView2EnvironmentOptions>::Share(options);
    if (auto options2 = held.As<ICoreWebView2EnvironmentOptions2>())
      options2->get_ExclusiveUserDataFolderAccess(&call.exclusiveUserDataFolderAccess);
    if (auto options3 = held.As<ICoreWebView2EnvironmentOptions3>())
      options3->get_IsCustomCrashReportingEnabled(&call.customCrashReporting);
  }
  loaderCalls.push_back(call);
  Record("CreateCoreWebView2EnvironmentWithOptions(" + call.userDataFolder + ")");
  if (loaderResult < 0) return loaderResult;
  pendingEnvironments_.push_back(ComPtr<ICoreWebView2CreateCoreWebView2EnvironmentCompletedHandler>::Share(handler));
  return kOk;
}

void* FakeBrowser::AllocText(std::size_t bytes) noexcept {
  void* text = std::malloc(bytes == 0 ? 1 : bytes);
  if (text != nullptr) liveTexts_.insert(text);
  return text;
}

void FakeBrowser::FreeText(void* text) noexcept {
  if (text == nullptr) return;
  if (liveTexts_.erase(text) == 0) {
    ++badFrees_;  // not ours, or freed before: never free it again
    return;
  }
  std::free(text);
}

Char* FakeBrowser::NewText(const std::u16string& text) {
  auto* copy = static_cast<Char*>(AllocText((text.size() + 1) * sizeof(Char)));
  std::memcpy(copy, text.c_str(), (text.size() + 1) * sizeof(Char));
  return copy;
}

void FakeBrowser::CompleteEnvironment(HResult result, bool withEnvironment) {
  ASSERT_FALSE(pendingEnvironments_.empty()) << "no environment creation is pending";
  auto handler = std::move(pendingEnvironments_.front());
  pendingEnvironments_.pop_front();
  FakeEnvironment* environment = withEnvironment ? Keep(std::make_unique<FakeEnvironment>(*this)) : nullptr;
  handler->Invoke(result, environment);
}

void FakeBrowser::QueueController(ComPtr<ICoreWebView2CreateCoreWebView2ControllerCompletedHandler> handler) {
  pendingControllers_.push_back(std::move(handler));
}

void FakeBrowser::CompleteController(HResult result, bool withController) {
  ASSERT_FALSE(pendingControllers_.empty()) << "no controller creation is pending";
  auto handler = std::move(pendingControllers_.front());
  pendingControllers_.pop_front();
  FakeController* controller = nullptr;
  if (withController) {
    controllers_.push_back(std::make_unique<FakeController>(*this, offerWebView3, offerWebView4));
    controller = controllers_.back().get();
  }
  handler->Invoke(result, controller);
}

void FakeBrowser::Pump() {
  for (int guard = 0; !tasks_.empty(); ++guard) {
    ASSERT_LT(guard, 10000) << "the queued events never settle";
    auto task = std::move(tasks_.front());
    tasks_.pop_front();
    task();
  }
}

void FakeBrowser::QueueNavigation(const std::string& uri) {
  Queue([this, uri] { DeliverNavigationStarting(uri); });
}

bool FakeBrowser::DeliverNavigationStarting(const std::string& uri) {
  FakeWebView* webView = LastWebView();
  if (webView == nullptr) return false;
  auto* args = Keep(std::make_unique<NavigationStartingArgs>(*this, Utf16(uri)));
  for (auto& handler : webView->navigationStarting.Snapshot()) handler->Invoke(webView, args);
  const bool cancelled = args->cancelled;
  const bool success = !cancelled && navigationSucceeds;
  const WebErrorStatus status = cancelled ? kWebErrorOperationCanceled : navigationStatus;
  Queue([this, webView, success, status] {
    auto* completed = Keep(std::make_unique<NavigationCompletedArgs>(success, status));
    for (auto& handler : webView->navigationCompleted.Snapshot()) handler->Invoke(webView, completed);
  });
  return cancelled;
}

bool FakeBrowser::StartNavigation(const std::string& uri) { return DeliverNavigationStarting(uri); }

void FakeBrowser::PostWebMessage(const std::string& json) {
  FakeWebView* webView = LastWebView();
  if (webView == nullptr) return;
  auto* args = Keep(std::make_unique<WebMessageArgs>(*this, Utf16(json)));
  for (auto& handler : webView->webMessageReceived.Snapshot()) handler->Invoke(webView, args);
}

bool FakeBrowser::RequestNewWindow(const std::string& uri, bool offerArgs2) {
  FakeWebView* webView = LastWebView();
  if (webView == nullptr) return false;
  auto* args = Keep(std::make_unique<NewWindowArgs>(*this, Utf16(uri), offerArgs2));
  for (auto& handler : webView->newWindowRequested.Snapshot()) handler->Invoke(webView, args);
  return args->handled;
}

FakeDownload FakeBrowser::StartDownload(const std::string& mimeType, const std::string& proposedPath) {
  FakeDownload download;
  FakeWebView* webView = LastWebView();
  if (webView == nullptr) return download;
  auto* operation = Keep(std::make_unique<FakeDownloadOperation>(*this, mimeType, Utf16(proposedPath)));
  auto* args = Keep(std::make_unique<DownloadStartingArgs>(*this, *operation, Utf16(proposedPath)));
  for (auto& handler : webView->downloadStarting.Snapshot()) handler->Invoke(webView, args);
  // The browser downloads to the path the handler chose.
  operation->resultPath = args->resultPath;
  download.handled = args->handled;
  download.cancelled = args->cancelled;
  download.resultFilePath = Utf8(args->resultPath.c_str());
  download.operation = operation;
  return download;
}

void FakeBrowser::QueueScript(const std::string& script, ComPtr<ICoreWebView2ExecuteScriptCompletedHandler> handler) {
  executedScripts.push_back(script);
  scriptHandlers_.push_back(std::move(handler));
}

void FakeBrowser::CompleteScript(size_t index, HResult result, const char* resultJson) {
  ASSERT_LT(index, scriptHandlers_.size()) << "no such script";
  auto handler = std::move(scriptHandlers_[index]);
  ASSERT_TRUE(handler) << "script " << index << " was already completed";
  const std::u16string json = resultJson != nullptr ? Utf16(resultJson) : u"";
  handler->Invoke(result, resultJson != nullptr ? json.c_str() : nullptr);
}

::testing::AssertionResult FakeBrowser::Balanced() const {
  std::ostringstream faults;
  auto check = [&](const Tracked& object) {
    if (object.References() != 0)
      faults << object.Name() << " still holds " << object.References() << " reference(s); ";
    if (object.BadReleases() != 0)
      faults << object.Name() << " was released " << object.BadReleases() << " time(s) too often; ";
  };
  for (const auto& object : objects_) check(*object);
  for (const auto& controller : controllers_) {
    check(*controller);
    check(controller->webView);
    check(controller->webView.settings);
  }
  if (!liveTexts_.empty()) faults << liveTexts_.size() << " text(s) never freed; ";
  if (badFrees_ != 0) faults << badFrees_ << " free(s) of texts not live; ";
  if (faults.str().empty()) return ::testing::AssertionSuccess();
  return ::testing::AssertionFailure() << faults.str();
}

}  // namespace fake
