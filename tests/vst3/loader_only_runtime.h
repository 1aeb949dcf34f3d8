// The browser runtime installed for a test, as far as the binding asks it: whether the loader
// library was found. No browser ever starts, as with the loader and no runtime installed.
#pragma once

#include <cstdlib>

#include "webview/browser_runtime.h"

namespace plugkit::test {

class LoaderOnlyRuntime final : public webview::BrowserRuntime {
 public:
  LoaderOnlyRuntime() : previous_(webview::InstallBrowserRuntime(this)) {}
  ~LoaderOnlyRuntime() override { webview::InstallBrowserRuntime(previous_); }
  LoaderOnlyRuntime(const LoaderOnlyRuntime&) = delete;
  LoaderOnlyRuntime& operator=(const LoaderOnlyRuntime&) = delete;

  bool LoaderFound() noexcept override { return loaderFound; }
  webview2::HResult CreateEnvironment(const webview2::Char*, webview2::ICoreWebView2EnvironmentOptions*,
                                      webview2::ICoreWebView2CreateCoreWebView2EnvironmentCompletedHandler*) override {
    return webview2::kModuleNotFound;
  }
  void* AllocText(std::size_t bytes) noexcept override { return std::malloc(bytes); }
  void FreeText(void* text) noexcept override { std::free(text); }

  bool loaderFound = true;

 private:
  webview::BrowserRuntime* previous_;
};

}  // namespace plugkit::test
