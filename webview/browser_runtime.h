// The browser runtime as the web view host reaches it: environment creation and the
// allocator of the texts that cross the COM boundary. Tests install a scripted fake.
#pragma once

#include <cstddef>
#include <string>
#include <string_view>

#include "webview/webview2/environment.h"

namespace plugkit::webview {

class BrowserRuntime {
 public:
  virtual ~BrowserRuntime() = default;

  // Whether the loader library was found, so that a browser can be asked for at all (it may
  // still fail to start, as when no runtime is installed).
  virtual bool LoaderFound() noexcept = 0;

  // Starts creating an environment; the handler runs later on this thread. A failure result
  // means the handler may never run.
  virtual webview2::HResult CreateEnvironment(
      const webview2::Char* userDataFolder, webview2::ICoreWebView2EnvironmentOptions* options,
      webview2::ICoreWebView2CreateCoreWebView2EnvironmentCompletedHandler* handler) = 0;

  // Task memory for texts: what the browser hands out we free here, what we hand to the
  // browser we allocate here.
  virtual void* AllocText(std::size_t bytes) noexcept = 0;
  virtual void FreeText(void* text) noexcept = 0;
};

// The installed runtime: the platform's loader unless a test installed another.
BrowserRuntime& CurrentBrowserRuntime() noexcept;

// Test seam: installs runtime (null restores the platform's) and returns the previous one.
BrowserRuntime* InstallBrowserRuntime(BrowserRuntime* runtime) noexcept;

// A browser text as UTF-8; the text is freed. Null gives "".
std::string TakeBrowserText(webview2::Char* text) noexcept;

// A task-memory copy of text for the browser; null when memory ran out.
webview2::Char* NewBrowserText(std::u16string_view text) noexcept;

}  // namespace plugkit::webview
