// The browser's life cycle: environment, controller, set-up, page loading, scripts, close.
#include "webview/web_view_host.h"

#include <string>

#include "framework/core/number_text.h"
#include "webview/browser_bounds.h"
#include "webview/browser_runtime.h"
#include "webview/desktop_services.h"
#include "webview/environment_options.h"
#include "webview/page_scripts.h"
#include "webview/utf16_convert.h"
#include "webview/virtual_host.h"
#include "webview/web_view_log.h"

namespace plugkit::webview {

using namespace webview2;

namespace {

constexpr char16_t kBrowserArguments[] = u"--disable-gpu --disable-gpu-compositing --disable-http-cache";
constexpr std::size_t kMaxPageUrlLength = 2048;

void Log(const std::string& line) { AppendLogLine(kWebViewLogName, line); }

std::string Number(int64_t value) { return std::string(FormatInteger(value).View()); }

// Cuts text to at most limit bytes without splitting a UTF-8 sequence.
std::string CutUtf8(std::string text, std::size_t limit) {
  if (text.size() <= limit) return text;
  std::size_t end = limit;
  while (end > 0 && (static_cast<unsigned char>(text[end]) & 0xC0) == 0x80) --end;
  text.resize(end);
  return text;
}

}  // namespace

WebViewHost::WebViewHost(IWebView& owner, bool enableDevTools)
    : owner_(owner), enableDevTools_(enableDevTools), anchor_(std::make_shared<HostAnchor>()) {
  anchor_->host = this;
}

WebViewHost::~WebViewHost() {
  Close();
  anchor_->host = nullptr;
}

void* WebViewHost::Open(void* parentWindow, float x, float y, float width, float height, float scale) {
  try {
    // An earlier opening's completions must not build a second browser.
    ++anchor_->generation;
    parentWindow_ = parentWindow;
    bounds_ = ScaledBounds(IWebView::WindowDpiScale(parentWindow), x, y, width, height);
    int32_t clientWidth = 0;
    int32_t clientHeight = 0;
    if (parentWindow != nullptr && CurrentDesktop().WindowClientSize(parentWindow, clientWidth, clientHeight)) {
      Log("Parent client=" + Number(clientWidth) + "x" + Number(clientHeight));
      if (ClientAreaFitsOpening(bounds_, clientWidth, clientHeight)) bounds_ = Rect{0, 0, clientWidth, clientHeight};
    }
    Log("OpenWebView initial bounds=" + Number(bounds_.left) + "," + Number(bounds_.top) + "," + Number(bounds_.right) +
        "," + Number(bounds_.bottom) + " scale=" + std::string(FormatFixed(scale, 6).View()));

    const std::string cacheFolder = CurrentDesktop().WebViewCacheFolder();
    Log("OpenWebView cache=" + LogSafe(cacheFolder));
    const std::u16string userDataFolder = Utf8ToUtf16(cacheFolder);

    ComPtr<ICoreWebView2EnvironmentOptions> options = EnvironmentOptions::Make();
    options->put_AllowSingleSignOnUsingOSPrimaryAccount(0);
    if (auto options2 = options.As<ICoreWebView2EnvironmentOptions2>()) options2->put_ExclusiveUserDataFolderAccess(0);
    options->put_AdditionalBrowserArguments(kBrowserArguments);
    if (auto options3 = options.As<ICoreWebView2EnvironmentOptions3>()) options3->put_IsCustomCrashReportingEnabled(0);

    // The runtime may fail at once without calling back (no loader DLL, no runtime); the
    // start-up then ends as a failed environment, and a late second call is ignored.
    auto delivered = std::make_shared<bool>(false);
    auto handler = Callback<ICoreWebView2CreateCoreWebView2EnvironmentCompletedHandler>::Make(
        [anchor = anchor_, generation = anchor_->generation, delivered](HResult result,
                                                                        ICoreWebView2Environment* environment) {
          if (*delivered) return;
          *delivered = true;
          if (WebViewHost* host = anchor->LiveAt(generation)) host->OnEnvironmentCompleted(result, environment);
        });
    const HResult result = CurrentBrowserRuntime().CreateEnvironment(
        userDataFolder.empty() ? nullptr : userDataFolder.c_str(), options.Get(), handler.Get());
    if (result < 0) handler->Invoke(result, nullptr);
  } catch (...) {
  }
  return parentWindow;
}

void WebViewHost::OnEnvironmentCompleted(HResult result, ICoreWebView2Environment* environment) {
  Log("EnvCompleted result=" + Number(result) + " env=" + (environment != nullptr ? "yes" : "null"));
  if (environment == nullptr) return;
  environment_ = ComPtr<ICoreWebView2Environment>::Share(environment);

  auto delivered = std::make_shared<bool>(false);
  auto handler = Callback<ICoreWebView2CreateCoreWebView2ControllerCompletedHandler>::Make(
      [anchor = anchor_, generation = anchor_->generation, delivered](HResult result,
                                                                      ICoreWebView2Controller* controller) {
        if (*delivered) return;
        *delivered = true;
        if (WebViewHost* host = anchor->LiveAt(generation))
          host->OnControllerCompleted(result, controller);
        else if (controller != nullptr)
          controller->Close();  // the editor was closed meanwhile: no browser in a closed editor
      });
  const HResult created = environment->CreateCoreWebView2Controller(parentWindow_, handler.Get());
  if (created < 0) handler->Invoke(created, nullptr);
}

void WebViewHost::OnControllerCompleted(HResult result, ICoreWebView2Controller* controller) {
  Log("ControllerCompleted result=" + Number(result) + " controller=" + (controller != nullptr ? "yes" : "null"));
  if (controller != nullptr) {
    controller_ = ComPtr<ICoreWebView2Controller>::Share(controller);
    webView_.Reset();
    controller->get_CoreWebView2(webView_.Put());
  }
  if (!webView_ || !controller_) return;
  // Local references: a hook below may close the browser while the set-up still runs.
  SetUpWebView(controller_, webView_);
}

void WebViewHost::SetUpWebView(const ComPtr<ICoreWebView2Controller>& controller,
                               const ComPtr<ICoreWebView2>& webView) {
  controller->put_IsVisible(visible_ ? 1 : 0);
  ApplySettings(webView.Get());
  auto ignoreScriptId = Callback<ICoreWebView2AddScriptToExecuteOnDocumentCreatedCompletedHandler>::Make({});
  for (const char16_t* script : kDocumentScripts)
    webView->AddScriptToExecuteOnDocumentCreated(script, ignoreScriptId.Get());
  RegisterEvents(webView.Get());
  if (!opaque_) {
    if (auto controller2 = controller.As<ICoreWebView2Controller2>())
      controller2->put_DefaultBackgroundColor(Color{0, 0, 0, 0});
  }
  controller->put_Bounds(bounds_);
  controller->put_IsVisible(1);
  owner_.OnBrowserReady();
}

void WebViewHost::ApplySettings(ICoreWebView2* webView) {
  ComPtr<ICoreWebView2Settings> settings;
  if (webView->get_Settings(settings.Put()) != kOk || !settings) return;
  settings->put_IsScriptEnabled(1);
  settings->put_AreDefaultScriptDialogsEnabled(1);
  settings->put_IsWebMessageEnabled(1);
  settings->put_AreDefaultContextMenusEnabled(enableDevTools_ ? 1 : 0);
  settings->put_AreDevToolsEnabled(enableDevTools_ ? 1 : 0);
}

void WebViewHost::RegisterEvents(ICoreWebView2* webView) {
  webView->add_WebMessageReceived(
      Bind<ICoreWebView2WebMessageReceivedEventHandler>(&WebViewHost::OnWebMessageReceived).Get(), &webMessageToken_);
  webView->add_NavigationStarting(
      Bind<ICoreWebView2NavigationStartingEventHandler>(&WebViewHost::OnNavigationStarting).Get(),
      &navigationStartingToken_);
  webView->add_NavigationCompleted(
      Bind<ICoreWebView2NavigationCompletedEventHandler>(&WebViewHost::OnNavigationCompleted).Get(),
      &navigationCompletedToken_);
  webView->add_NewWindowRequested(
      Bind<ICoreWebView2NewWindowRequestedEventHandler>(&WebViewHost::OnNewWindowRequested).Get(), &newWindowToken_);
  // Without the fourth interface downloads keep the browser's own handling.
  if (auto webView4 = ComPtr<ICoreWebView2>::Share(webView).As<ICoreWebView2_4>())
    webView4->add_DownloadStarting(
        Bind<ICoreWebView2DownloadStartingEventHandler>(&WebViewHost::OnDownloadStarting).Get(),
        &downloadStartingToken_);
}

void WebViewHost::Close() {
  // Always a new generation, also while the controller is still on its way: it will then be
  // closed when it arrives instead of building a browser in a closed editor.
  ++anchor_->generation;
  ComPtr<ICoreWebView2Controller> controller = std::move(controller_);
  if (controller) controller->Close();
  controller.Reset();
  webView_.Reset();
  environment_.Reset();
}

void WebViewHost::Resize(float x, float y, float width, float height) {
  bounds_ = ScaledBounds(IWebView::WindowDpiScale(parentWindow_), x, y, width, height);
  int32_t clientWidth = 0;
  int32_t clientHeight = 0;
  if (parentWindow_ != nullptr && CurrentDesktop().WindowClientSize(parentWindow_, clientWidth, clientHeight) &&
      clientWidth > 0 && clientHeight > 0)
    bounds_ = Rect{0, 0, clientWidth, clientHeight};
  if (ComPtr<ICoreWebView2Controller> controller = controller_) controller->put_Bounds(bounds_);
}

void WebViewHost::LoadFile(const char* name) {
  ComPtr<ICoreWebView2> webView = webView_;
  if (!webView) return;
  try {
    const std::string_view path = name != nullptr ? name : "";
    Log("LoadFile name=" + (name != nullptr ? LogSafe(path) : std::string("(null)")));

    const std::size_t lastSeparator = path.find_last_of("\\/");
    // A separator in the first position would make the folder the root: it does not count.
    const std::string folder(lastSeparator != std::string_view::npos && lastSeparator > 0
                                 ? path.substr(0, lastSeparator)
                                 : std::string_view());
    if (auto webView3 = webView.As<ICoreWebView2_3>()) {
      Log("LoadFile webFolder=" + LogSafe(folder));
      const HResult mapped = webView3->SetVirtualHostNameToFolderMapping(
          kVirtualHostName16, Utf8ToUtf16(folder).c_str(), kHostResourceAccessDenyCors);
      Log("SetVirtualHostNameToFolderMapping result=" + Number(mapped));
    }
    webFolder_.Set(folder.c_str());

    const std::string_view file = lastSeparator != std::string_view::npos ? path.substr(lastSeparator + 1) : path;
    const std::string url = CutUtf8(std::string(kVirtualHostOrigin).append(file), kMaxPageUrlLength);
    Log("Navigate uri=" + LogSafe(url));
    webView->Navigate(Utf8ToUtf16(url).c_str());
  } catch (...) {
  }
}

void WebViewHost::RunScript(const char* script, IWebView::ScriptCompletion completion) {
  ComPtr<ICoreWebView2> webView = webView_;
  if (!webView || script == nullptr) return;
  try {
    auto handler = Callback<ICoreWebView2ExecuteScriptCompletedHandler>::Make(
        [anchor = anchor_, generation = anchor_->generation, completion = std::move(completion)](
            HResult, const Char* resultJson) {
          if (anchor->LiveAt(generation) == nullptr || !completion || resultJson == nullptr) return;
          const std::string result = Utf16ToUtf8(resultJson);
          completion(result.c_str());
        });
    webView->ExecuteScript(Utf8ToUtf16(script).c_str(), handler.Get());
  } catch (...) {
  }
}

void WebViewHost::CopyWebFolder(GrowString& out) const {
  if (!out.Assign(webFolder_)) out.Set("");
}

}  // namespace plugkit::webview
