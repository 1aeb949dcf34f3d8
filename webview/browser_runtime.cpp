#include "webview/browser_runtime.h"

#include <cstring>

#include "platform/task_memory.h"
#include "platform/webview2_loader.h"
#include "webview/service_slot.h"
#include "webview/utf16_convert.h"

namespace plugkit::webview {
namespace {

class PlatformBrowserRuntime final : public BrowserRuntime {
 public:
  bool LoaderFound() noexcept override { return platform::FindWebView2EnvironmentEntry() != nullptr; }

  webview2::HResult CreateEnvironment(
      const webview2::Char* userDataFolder, webview2::ICoreWebView2EnvironmentOptions* options,
      webview2::ICoreWebView2CreateCoreWebView2EnvironmentCompletedHandler* handler) override {
    auto create =
        reinterpret_cast<webview2::CreateEnvironmentWithOptionsFunction>(platform::FindWebView2EnvironmentEntry());
    if (create == nullptr) return webview2::kModuleNotFound;
    return create(nullptr, userDataFolder, options, handler);
  }

  void* AllocText(std::size_t bytes) noexcept override { return platform::TaskMemAlloc(bytes); }
  void FreeText(void* text) noexcept override { platform::TaskMemFree(text); }
};

PlatformBrowserRuntime platformRuntime;
ServiceSlot<BrowserRuntime> runtimeSlot(platformRuntime);

}  // namespace

BrowserRuntime& CurrentBrowserRuntime() noexcept { return runtimeSlot.Current(); }

BrowserRuntime* InstallBrowserRuntime(BrowserRuntime* runtime) noexcept { return runtimeSlot.Install(runtime); }

std::string TakeBrowserText(webview2::Char* text) noexcept {
  std::string utf8 = Utf16ToUtf8(text);
  if (text != nullptr) CurrentBrowserRuntime().FreeText(text);
  return utf8;
}

webview2::Char* NewBrowserText(std::u16string_view text) noexcept {
  const std::size_t bytes = (text.size() + 1) * sizeof(webview2::Char);
  auto* copy = static_cast<webview2::Char*>(CurrentBrowserRuntime().AllocText(bytes));
  if (copy == nullptr) return nullptr;
  std::memcpy(copy, text.data(), text.size() * sizeof(webview2::Char));
  copy[text.size()] = u'\0';
  return copy;
}

}  // namespace plugkit::webview
