// The browser objects of the test backend (environment, controller, web view, settings) and
// the loader entry point a module finds in libWebView2Loader.so. Each forwards to the tab
// it stands for; completions come later, in a pump, as the real runtime delivers them.
#include <cstdio>
#include <memory>
#include <sstream>
#include <stdexcept>
#include <string>
#include <vector>

#include "browser_page.h"
#include "com_object.h"
#include "devtools.h"

namespace tarnwell::browser {
namespace {

class Settings final : public ComObject<ICoreWebView2Settings> {
 public:
  explicit Settings(std::shared_ptr<BrowserPage> page) : page_(std::move(page)) {}
  HResult put_IsScriptEnabled(Bool32 value) override {
    return Guarded([&] { return page_->SetScriptEnabled(value != 0); });
  }
  HResult put_IsWebMessageEnabled(Bool32 value) override {
    page_->SetWebMessagesEnabled(value != 0);
    return kOk;
  }
  // A headless tab shows neither dialogs, developer tools nor menus: these are only taken.
  HResult put_AreDefaultScriptDialogsEnabled(Bool32) override { return kOk; }
  HResult put_AreDevToolsEnabled(Bool32) override { return kOk; }
  HResult put_AreDefaultContextMenusEnabled(Bool32) override { return kOk; }

  template <typename Step>
  static HResult Guarded(Step step) {
    try {
      return step();
    } catch (const std::exception&) {
      return kUnspecifiedFailure;
    }
  }

 private:
  std::shared_ptr<BrowserPage> page_;
};

// Downloads are left to the browser, which refuses them all: the tab offers no fourth interface.
class WebView final : public ComObject<ICoreWebView2_3, ICoreWebView2_2, ICoreWebView2> {
 public:
  explicit WebView(std::shared_ptr<BrowserPage> page) : page_(std::move(page)) { page_->SetSender(this); }
  ~WebView() override { page_->SetSender(nullptr); }

  HResult get_Settings(ICoreWebView2Settings** settings) override {
    if (settings == nullptr) return kInvalidPointer;
    *settings = new Settings(page_);
    return kOk;
  }
  HResult Navigate(const Char* uri) override {
    if (uri == nullptr) return kInvalidPointer;
    return Settings::Guarded([&] { return page_->Navigate(Utf8(uri)); });
  }
  HResult add_NavigationStarting(ICoreWebView2NavigationStartingEventHandler* handler,
                                 EventRegistrationToken* token) override {
    return page_->navigationStarting.Add(handler, token);
  }
  HResult add_NavigationCompleted(ICoreWebView2NavigationCompletedEventHandler* handler,
                                  EventRegistrationToken* token) override {
    return page_->navigationCompleted.Add(handler, token);
  }
  HResult AddScriptToExecuteOnDocumentCreated(
      const Char* javaScript, ICoreWebView2AddScriptToExecuteOnDocumentCreatedCompletedHandler* handler) override {
    if (javaScript == nullptr) return kInvalidPointer;
    return Settings::Guarded([&] {
      return page_->AddDocumentScript(
          Utf8(javaScript), ComPtr<ICoreWebView2AddScriptToExecuteOnDocumentCreatedCompletedHandler>::Share(handler));
    });
  }
  HResult ExecuteScript(const Char* javaScript, ICoreWebView2ExecuteScriptCompletedHandler* handler) override {
    if (javaScript == nullptr) return kInvalidPointer;
    return Settings::Guarded([&] {
      return page_->ExecuteScript(Utf8(javaScript), ComPtr<ICoreWebView2ExecuteScriptCompletedHandler>::Share(handler));
    });
  }
  HResult add_WebMessageReceived(ICoreWebView2WebMessageReceivedEventHandler* handler,
                                 EventRegistrationToken* token) override {
    return page_->webMessageReceived.Add(handler, token);
  }
  HResult add_NewWindowRequested(ICoreWebView2NewWindowRequestedEventHandler* handler,
                                 EventRegistrationToken* token) override {
    return page_->newWindowRequested.Add(handler, token);
  }
  HResult SetVirtualHostNameToFolderMapping(const Char* hostName, const Char* folderPath,
                                            HostResourceAccessKind) override {
    if (hostName == nullptr || folderPath == nullptr) return kInvalidPointer;
    return page_->MapVirtualHost(Utf8(hostName), Utf8(folderPath));
  }

 private:
  std::shared_ptr<BrowserPage> page_;
};

class Controller final : public ComObject<ICoreWebView2Controller2, ICoreWebView2Controller> {
 public:
  explicit Controller(std::shared_ptr<BrowserPage> page)
      : page_(page), webView_(ComPtr<WebView>::Adopt(new WebView(std::move(page)))) {}

  HResult put_IsVisible(Bool32) override { return kOk; }  // nothing to show or hide headless
  HResult put_Bounds(Rect bounds) override {
    return Settings::Guarded([&] { return page_->SetBounds(bounds); });
  }
  HResult Close() override {
    Settings::Guarded([&] {
      page_->Close();
      return kOk;
    });
    return kOk;
  }
  HResult get_CoreWebView2(ICoreWebView2** webView) override {
    if (webView == nullptr) return kInvalidPointer;
    webView_->AddRef();
    *webView = webView_.Get();
    return kOk;
  }
  HResult put_DefaultBackgroundColor(Color color) override {
    return Settings::Guarded([&] { return page_->SetBackground(color); });
  }

 private:
  std::shared_ptr<BrowserPage> page_;
  ComPtr<WebView> webView_;
};

class Environment final : public ComObject<ICoreWebView2Environment> {
 public:
  explicit Environment(std::shared_ptr<DevTools> browser) : browser_(std::move(browser)) {}

  HResult CreateCoreWebView2Controller(void*,
                                       ICoreWebView2CreateCoreWebView2ControllerCompletedHandler* handler) override {
    if (handler == nullptr) return kInvalidPointer;
    try {
      auto controller = ComPtr<Controller>::Adopt(new Controller(BrowserPage::Open(browser_)));
      auto held = ComPtr<ICoreWebView2CreateCoreWebView2ControllerCompletedHandler>::Share(handler);
      browser_->Later([held, controller] { held->Invoke(kOk, controller.Get()); });
      return kOk;
    } catch (const std::exception& error) {
      std::fprintf(stderr, "%s\n", error.what());
      return kUnspecifiedFailure;
    }
  }

 private:
  std::shared_ptr<DevTools> browser_;
};

std::vector<std::string> SplitArguments(const std::string& text) {
  std::vector<std::string> arguments;
  std::istringstream words(text);
  for (std::string word; words >> word;) arguments.push_back(word);
  return arguments;
}

}  // namespace
}  // namespace tarnwell::browser

using namespace tarnwell::browser;

// The loader's entry point, as the platform's loader exports it. The browser folder and the
// user data folder are not used: every launch gets a new, empty profile.
extern "C" __attribute__((visibility("default"))) HResult CreateCoreWebView2EnvironmentWithOptions(
    const Char*, const Char*, ICoreWebView2EnvironmentOptions* options,
    ICoreWebView2CreateCoreWebView2EnvironmentCompletedHandler* handler) {
  if (handler == nullptr) return kInvalidPointer;
  try {
    std::vector<std::string> arguments;
    if (options != nullptr) {
      Char* text = nullptr;
      if (options->get_AdditionalBrowserArguments(&text) == kOk && text != nullptr) {
        arguments = SplitArguments(Utf8(text));
        std::free(text);
      }
    }
    auto browser = std::make_shared<DevTools>(arguments);
    browser->Call("Browser.setDownloadBehavior", {{"behavior", "deny"}});
    RegisterBrowser(browser);
    auto environment = ComPtr<Environment>::Adopt(new Environment(browser));
    auto held = ComPtr<ICoreWebView2CreateCoreWebView2EnvironmentCompletedHandler>::Share(handler);
    browser->Later([held, environment] { held->Invoke(kOk, environment.Get()); });
    return kOk;
  } catch (const std::exception& error) {
    std::fprintf(stderr, "%s\n", error.what());  // the host sees only the result code
    return kUnspecifiedFailure;
  }
}
