#include "browser_page.h"

#include <cctype>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <sstream>
#include <stdexcept>

#include "webview/base64.h"

namespace tarnwell::browser {
namespace {

// The page's messages reach us through this binding; the browser runtime's own page-side
// object (window.chrome.webview) is built on it before any script of the page runs.
constexpr char kBindingName[] = "__tarnwellPostMessage";
constexpr char kBootstrapScript[] =
    "(function() {"
    "  const post = window.__tarnwellPostMessage;"
    "  window.chrome = window.chrome || {};"
    "  window.chrome.webview = { postMessage: function(m) { post(JSON.stringify(m === undefined ? null : m)); } };"
    "})();";

std::vector<std::weak_ptr<BrowserPage>>& PageRegistry() {
  static std::vector<std::weak_ptr<BrowserPage>> pages;
  return pages;
}

class WebMessageArgs final : public ComObject<ICoreWebView2WebMessageReceivedEventArgs> {
 public:
  explicit WebMessageArgs(std::string json) : json_(std::move(json)) {}
  HResult get_WebMessageAsJson(Char** json) override {
    if (json == nullptr) return kInvalidPointer;
    *json = TaskText(json_);
    return *json != nullptr ? kOk : kOutOfMemory;
  }

 private:
  std::string json_;
};

class NavigationStartingArgs final : public ComObject<ICoreWebView2NavigationStartingEventArgs> {
 public:
  explicit NavigationStartingArgs(std::string uri) : uri_(std::move(uri)) {}
  HResult get_Uri(Char** uri) override {
    if (uri == nullptr) return kInvalidPointer;
    *uri = TaskText(uri_);
    return *uri != nullptr ? kOk : kOutOfMemory;
  }
  HResult put_Cancel(Bool32 cancel) override {
    cancelled = cancel != 0;
    return kOk;
  }
  bool cancelled = false;

 private:
  std::string uri_;
};

class NavigationCompletedArgs final : public ComObject<ICoreWebView2NavigationCompletedEventArgs> {
 public:
  NavigationCompletedArgs(bool success, WebErrorStatus status) : success_(success), status_(status) {}
  HResult get_IsSuccess(Bool32* success) override {
    if (success == nullptr) return kInvalidPointer;
    *success = success_ ? 1 : 0;
    return kOk;
  }
  HResult get_WebErrorStatus(WebErrorStatus* status) override {
    if (status == nullptr) return kInvalidPointer;
    *status = status_;
    return kOk;
  }

 private:
  bool success_;
  WebErrorStatus status_;
};

template <typename T>
ComPtr<T> Made(T* object) {
  return ComPtr<T>::Adopt(object);
}

bool StartsWith(const std::string& text, const std::string& prefix) { return text.rfind(prefix, 0) == 0; }

std::string Lower(std::string text) {
  for (char& c : text) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
  return text;
}

int HexValue(char c) {
  if (c >= '0' && c <= '9') return c - '0';
  c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
  if (c >= 'a' && c <= 'f') return c - 'a' + 10;
  return -1;
}

std::string PercentDecoded(const std::string& text) {
  std::string decoded;
  for (std::size_t i = 0; i < text.size(); ++i) {
    if (text[i] == '%' && i + 2 < text.size() && HexValue(text[i + 1]) >= 0 && HexValue(text[i + 2]) >= 0) {
      decoded.push_back(static_cast<char>(HexValue(text[i + 1]) * 16 + HexValue(text[i + 2])));
      i += 2;
    } else {
      decoded.push_back(text[i]);
    }
  }
  return decoded;
}

std::string ContentTypeOf(const std::filesystem::path& file) {
  static const std::map<std::string, std::string> types = {{".html", "text/html; charset=utf-8"},
                                                           {".htm", "text/html; charset=utf-8"},
                                                           {".js", "text/javascript; charset=utf-8"},
                                                           {".mjs", "text/javascript; charset=utf-8"},
                                                           {".css", "text/css; charset=utf-8"},
                                                           {".json", "application/json"},
                                                           {".svg", "image/svg+xml"},
                                                           {".png", "image/png"},
                                                           {".ico", "image/x-icon"},
                                                           {".woff2", "font/woff2"},
                                                           {".txt", "text/plain; charset=utf-8"}};
  const auto found = types.find(Lower(file.extension().string()));
  return found != types.end() ? found->second : "application/octet-stream";
}

}  // namespace

template <typename Handler>
HResult Handlers<Handler>::Add(Handler* handler, EventRegistrationToken* token) {
  if (handler == nullptr || token == nullptr) return kInvalidPointer;
  static int64_t lastToken = 0;
  token->value = ++lastToken;
  entries.emplace_back(token->value, ComPtr<Handler>::Share(handler));
  return kOk;
}

template <typename Handler>
std::vector<ComPtr<Handler>> Handlers<Handler>::Snapshot() const {
  std::vector<ComPtr<Handler>> handlers;
  for (const auto& entry : entries) handlers.push_back(entry.second);
  return handlers;
}

template struct Handlers<ICoreWebView2WebMessageReceivedEventHandler>;
template struct Handlers<ICoreWebView2NavigationStartingEventHandler>;
template struct Handlers<ICoreWebView2NavigationCompletedEventHandler>;
template struct Handlers<ICoreWebView2NewWindowRequestedEventHandler>;

std::shared_ptr<BrowserPage> BrowserPage::Open(std::shared_ptr<DevTools> browser) {
  const std::string targetId = browser->Call("Target.createTarget", {{"url", "about:blank"}})["targetId"];
  const std::string session =
      browser->Call("Target.attachToTarget", {{"targetId", targetId}, {"flatten", true}})["sessionId"];
  std::shared_ptr<BrowserPage> page(new BrowserPage(browser, targetId, session));
  std::weak_ptr<BrowserPage> weak = page;
  browser->Subscribe(session, [weak](const std::string& method, const Json& params) {
    if (auto alive = weak.lock()) alive->OnEvent(method, params);
  });
  browser->Call("Page.enable", {}, session);
  browser->Call("Runtime.enable", {}, session);
  browser->Call("Runtime.addBinding", {{"name", kBindingName}}, session);
  browser->Call("Page.addScriptToEvaluateOnNewDocument", {{"source", kBootstrapScript}}, session);
  browser->Call("Fetch.enable", {{"patterns", Json::array({{{"urlPattern", "*"}, {"requestStage", "Request"}}})}},
                session);
  PageRegistry().push_back(page);
  return page;
}

BrowserPage::BrowserPage(std::shared_ptr<DevTools> browser, std::string targetId, std::string session)
    : browser_(std::move(browser)), targetId_(std::move(targetId)), session_(std::move(session)) {}

BrowserPage::~BrowserPage() {
  try {
    Close();
  } catch (...) {
  }
}

void BrowserPage::Close() {
  if (closed_) return;
  closed_ = true;
  browser_->Unsubscribe(session_);
  // Our handlers hold the host's callbacks: let them go now, as a closed browser does.
  webMessageReceived.entries.clear();
  navigationStarting.entries.clear();
  navigationCompleted.entries.clear();
  newWindowRequested.entries.clear();
  try {
    browser_->Post("Target.closeTarget", {{"targetId", targetId_}}, "");
  } catch (const std::exception&) {
    // The browser has gone already.
  }
}

HResult BrowserPage::Navigate(const std::string& uri) {
  if (closed_) return kUnspecifiedFailure;
  const std::string scheme = Lower(uri.substr(0, uri.find(':') + 1));
  if (scheme == "http:" || scheme == "https:" || scheme == "file:") {
    // The request interception raises NavigationStarting for these.
    browser_->Post("Page.navigate", {{"url", uri}}, session_);
    return kOk;
  }
  // No request for these: the guard is asked here, later, as the browser would.
  std::weak_ptr<BrowserPage> weak = weak_from_this();
  browser_->Later([weak, uri] {
    auto page = weak.lock();
    if (!page || page->closed_) return;
    if (!page->RaiseNavigationStarting(uri)) {
      page->RaiseNavigationCompleted(false, kWebErrorOperationCanceled);
      return;
    }
    page->loading_ = Loading::kAwaitingLoad;
    page->loadingUri_ = uri;
    page->browser_->Post("Page.navigate", {{"url", uri}}, page->session_);
  });
  return kOk;
}

HResult BrowserPage::AddDocumentScript(
    const std::string& source, ComPtr<ICoreWebView2AddScriptToExecuteOnDocumentCreatedCompletedHandler> handler) {
  if (closed_) return kUnspecifiedFailure;
  const Json result = browser_->Call("Page.addScriptToEvaluateOnNewDocument", {{"source", source}}, session_);
  if (handler) {
    const std::u16string id = plugkit::webview::Utf8ToUtf16(result.value("identifier", std::string()));
    browser_->Later([handler, id] { handler->Invoke(kOk, id.c_str()); });
  }
  return kOk;
}

HResult BrowserPage::ExecuteScript(const std::string& script,
                                   ComPtr<ICoreWebView2ExecuteScriptCompletedHandler> handler) {
  if (closed_) return kUnspecifiedFailure;
  std::weak_ptr<BrowserPage> weak = weak_from_this();
  browser_->Post("Runtime.evaluate", {{"expression", script}, {"returnByValue", true}}, session_,
                 [weak, handler](const Json& answer) {
                   auto page = weak.lock();
                   const Json result = answer.value("result", Json::object());
                   std::string json = "null";
                   if (result.contains("exceptionDetails")) {
                     if (page) page->RecordException(result["exceptionDetails"]);
                   } else if (result.contains("result") && result["result"].contains("value")) {
                     json = result["result"]["value"].dump();
                   }
                   if (!handler || !page || page->closed_) return;
                   const std::u16string text = plugkit::webview::Utf8ToUtf16(json);
                   handler->Invoke(kOk, text.c_str());
                 });
  return kOk;
}

HResult BrowserPage::MapVirtualHost(const std::string& hostName, const std::string& folder) {
  if (hostName.empty()) return kInvalidPointer;
  virtualHosts_[Lower(hostName)] = folder;
  return kOk;
}

HResult BrowserPage::SetBounds(const Rect& bounds) {
  if (closed_) return kUnspecifiedFailure;
  const int width = std::max(1, bounds.right - bounds.left);
  const int height = std::max(1, bounds.bottom - bounds.top);
  browser_->Call("Emulation.setDeviceMetricsOverride",
                 {{"width", width}, {"height", height}, {"deviceScaleFactor", 1}, {"mobile", false}}, session_);
  return kOk;
}

HResult BrowserPage::SetBackground(const Color& color) {
  if (closed_) return kUnspecifiedFailure;
  browser_->Call("Emulation.setDefaultBackgroundColorOverride",
                 {{"color", {{"r", color.r}, {"g", color.g}, {"b", color.b}, {"a", color.a / 255.0}}}}, session_);
  return kOk;
}

HResult BrowserPage::SetScriptEnabled(bool enabled) {
  if (closed_) return kUnspecifiedFailure;
  browser_->Call("Emulation.setScriptExecutionDisabled", {{"value", !enabled}}, session_);
  return kOk;
}

void BrowserPage::OnEvent(const std::string& method, const Json& params) {
  if (closed_) return;
  if (method == "Fetch.requestPaused") {
    OnRequestPaused(params);
  } else if (method == "Page.loadEventFired") {
    const Loading loading = std::exchange(loading_, Loading::kIdle);
    if (loading == Loading::kAwaitingLoad) RaiseNavigationCompleted(true, kWebErrorUnknown);
    if (loading == Loading::kAwaitingFailedLoad) RaiseNavigationCompleted(false, kWebErrorUnknown);
  } else if (method == "Runtime.bindingCalled") {
    if (params.value("name", std::string()) == kBindingName && webMessagesEnabled_)
      RaiseWebMessage(params.value("payload", std::string("null")));
  } else if (method == "Page.javascriptDialogOpening") {
    // Nobody is there to answer a dialog, and an open one stops the page.
    browser_->Post("Page.handleJavaScriptDialog", {{"accept", true}}, session_);
  } else if (method == "Runtime.exceptionThrown") {
    RecordException(params.value("exceptionDetails", Json::object()));
  } else if (method == "Runtime.consoleAPICalled" && params.value("type", std::string()) == "error") {
    std::string text = "console.error:";
    for (const Json& argument : params.value("args", Json::array()))
      text += " " + (argument.contains("value") ? argument["value"].dump() : argument.value("description", ""));
    scriptErrors_.push_back(text);
  }
}

void BrowserPage::RecordException(const Json& details) {
  std::string text = details.value("text", std::string("exception"));
  if (details.contains("exception")) text += " " + details["exception"].value("description", std::string());
  scriptErrors_.push_back(text);
}

void BrowserPage::OnRequestPaused(const Json& params) {
  const std::string requestId = params.value("requestId", std::string());
  const Json request = params.value("request", Json::object());
  std::string url = request.value("url", std::string());
  const bool navigation =
      params.value("resourceType", std::string()) == "Document" && params.value("frameId", std::string()) == targetId_;
  if (navigation && !RaiseNavigationStarting(url + request.value("urlFragment", std::string()))) {
    browser_->Post("Fetch.failRequest", {{"requestId", requestId}, {"errorReason", "Aborted"}}, session_);
    loading_ = Loading::kIdle;
    RaiseNavigationCompleted(false, kWebErrorOperationCanceled);
    return;
  }
  int status = 0;
  std::string contentType;
  std::string body;
  if (ServeMapped(url, status, contentType, body)) {
    const auto* bytes = reinterpret_cast<const uint8_t*>(body.data());
    browser_->Post("Fetch.fulfillRequest",
                   {{"requestId", requestId},
                    {"responseCode", status},
                    {"responseHeaders", Json::array({{{"name", "Content-Type"}, {"value", contentType}},
                                                     {{"name", "Cache-Control"}, {"value", "no-store"}}})},
                    {"body", plugkit::Base64Text(bytes, static_cast<int64_t>(body.size()))}},
                   session_);
    if (navigation) {
      loading_ = status == 200 ? Loading::kAwaitingLoad : Loading::kAwaitingFailedLoad;
      loadingUri_ = url;
    }
    return;
  }
  if (navigation && StartsWith(Lower(url), "file:")) {
    browser_->Post("Fetch.continueRequest", {{"requestId", requestId}}, session_);
    loading_ = Loading::kAwaitingLoad;
    loadingUri_ = url;
    return;
  }
  // Anything else would go out to the network: refused, and noted for the tests.
  blockedRequests_.push_back(url);
  browser_->Post("Fetch.failRequest",
                 {{"requestId", requestId}, {"errorReason", navigation ? "NameNotResolved" : "BlockedByClient"}},
                 session_);
  if (navigation) {
    loading_ = Loading::kIdle;
    RaiseNavigationCompleted(false, kWebErrorHostNameNotResolved);
  }
}

bool BrowserPage::ServeMapped(const std::string& url, int& status, std::string& contentType, std::string& body) const {
  if (!StartsWith(Lower(url), "https://")) return false;
  const std::size_t hostEnd = url.find_first_of("/?#", 8);
  const std::string host = Lower(url.substr(8, hostEnd == std::string::npos ? std::string::npos : hostEnd - 8));
  const auto mapped = virtualHosts_.find(host);
  if (mapped == virtualHosts_.end()) return false;

  std::string path = hostEnd == std::string::npos || url[hostEnd] != '/' ? "/" : url.substr(hostEnd);
  path = PercentDecoded(path.substr(0, path.find_first_of("?#")));
  std::filesystem::path file = std::filesystem::u8path(mapped->second);
  bool inside = path.find('\0') == std::string::npos;
  std::stringstream segments(path);
  for (std::string segment; std::getline(segments, segment, '/');) {
    if (segment == "..") inside = false;
    if (!segment.empty() && segment != ".") file /= std::filesystem::u8path(segment);
  }
  std::error_code error;
  if (inside && std::filesystem::is_regular_file(file, error)) {
    std::ifstream in(file, std::ios::binary);
    body.assign(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
    if (in.good() || in.eof()) {
      status = 200;
      contentType = ContentTypeOf(file);
      return true;
    }
  }
  status = 404;
  contentType = "text/plain; charset=utf-8";
  body = "not found: " + path;
  return true;
}

bool BrowserPage::RaiseNavigationStarting(const std::string& uri) {
  auto args = Made(new NavigationStartingArgs(uri));
  for (auto& handler : navigationStarting.Snapshot()) handler->Invoke(sender_, args.Get());
  return !args->cancelled;
}

void BrowserPage::RaiseNavigationCompleted(bool success, WebErrorStatus status) {
  ++completedNavigations_;
  lastNavigationUri_ = success ? loadingUri_ : "";
  auto args = Made(new NavigationCompletedArgs(success, status));
  for (auto& handler : navigationCompleted.Snapshot()) handler->Invoke(sender_, args.Get());
}

void BrowserPage::RaiseWebMessage(const std::string& json) {
  auto args = Made(new WebMessageArgs(json));
  for (auto& handler : webMessageReceived.Snapshot()) handler->Invoke(sender_, args.Get());
}

Json BrowserPage::Evaluate(const std::string& expression) {
  if (closed_) throw std::runtime_error("the page is closed");
  const Json result = browser_->Call(
      "Runtime.evaluate", {{"expression", expression}, {"returnByValue", true}, {"awaitPromise", true}}, session_);
  if (result.contains("exceptionDetails")) {
    const Json& details = result["exceptionDetails"];
    std::string text = details.value("text", std::string("exception"));
    if (details.contains("exception")) text += " " + details["exception"].value("description", std::string());
    throw std::runtime_error("script failed: " + text + " in: " + expression);
  }
  return result.value("result", Json::object()).value("value", Json());
}

void BrowserPage::SaveScreenshot(const std::string& path, int width, int height) {
  const Json shot = browser_->Call(
      "Page.captureScreenshot",
      {{"format", "png"}, {"clip", {{"x", 0}, {"y", 0}, {"width", width}, {"height", height}, {"scale", 1}}}},
      session_);
  const auto png = plugkit::DecodePagePayload(shot.value("data", std::string()));
  if (!png || png->empty()) throw std::runtime_error("no screenshot");
  std::ofstream out(path, std::ios::binary | std::ios::trunc);
  out.write(reinterpret_cast<const char*>(png->data()), static_cast<std::streamsize>(png->size()));
  if (!out) throw std::runtime_error("cannot write " + path);
}

void BrowserPage::Click(const std::string& selector) {
  const Json where = Evaluate("(() => { const e = document.querySelector(" + Json(selector).dump() +
                              "); if (!e) throw new Error('no element ' + " + Json(selector).dump() +
                              "); e.scrollIntoView({block: 'center'}); const r = e.getBoundingClientRect();"
                              " return [r.left + r.width / 2, r.top + r.height / 2]; })()");
  for (const char* type : {"mousePressed", "mouseReleased"})
    browser_->Call("Input.dispatchMouseEvent",
                   {{"type", type}, {"x", where[0]}, {"y", where[1]}, {"button", "left"}, {"clickCount", 1}}, session_);
}

void BrowserPage::PressKey(int keyCode, const std::string& key) {
  Json down = {{"type", "keyDown"}, {"windowsVirtualKeyCode", keyCode}, {"key", key}};
  if (key.size() == 1) down["text"] = key;
  browser_->Call("Input.dispatchKeyEvent", down, session_);
  browser_->Call("Input.dispatchKeyEvent", {{"type", "keyUp"}, {"windowsVirtualKeyCode", keyCode}, {"key", key}},
                 session_);
}

std::vector<std::shared_ptr<BrowserPage>> OpenPages() {
  std::vector<std::shared_ptr<BrowserPage>> open;
  std::erase_if(PageRegistry(), [](const std::weak_ptr<BrowserPage>& page) { return page.expired(); });
  for (const auto& page : PageRegistry())
    if (auto alive = page.lock(); alive && !alive->Closed()) open.push_back(std::move(alive));
  return open;
}

}  // namespace tarnwell::browser
