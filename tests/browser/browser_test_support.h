// What the browser tests share: the skip without Chromium, waiting on the page and the host
// without fixed sleeps, and where the screenshots go.
#pragma once

#include <gtest/gtest.h>

#include <chrono>
#include <filesystem>
#include <functional>
#include <string>

#include "browser_page.h"
#include "devtools.h"
#include "devtools_pipe.h"

#define SKIP_WITHOUT_CHROMIUM()                                                                     \
  do {                                                                                              \
    if (::tarnwell::browser::FindChromium().empty())                                                \
      GTEST_SKIP() << "no Chromium installed (Debian: apt-get install chromium-headless-shell, or " \
                      "set TARNWELL_CHROMIUM): the real-browser tests are skipped";                 \
  } while (false)

namespace tarnwell::browser {

// Generous for a loaded CI machine, and still bounded.
inline constexpr int kWaitMs = 30000;

// Pumps the browsers and the host's UI loop until done() holds; false on time-out.
inline bool WaitUntil(const std::function<bool()>& done, const std::function<void()>& pumpHost = {},
                      int timeoutMs = kWaitMs) {
  const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeoutMs);
  for (;;) {
    if (done()) return true;
    if (std::chrono::steady_clock::now() > deadline) return false;
    PumpBrowsers(5);
    if (pumpHost) pumpHost();
  }
}

// The newest open tab, null when none is open.
inline std::shared_ptr<BrowserPage> LatestPage() {
  auto pages = OpenPages();
  return pages.empty() ? nullptr : pages.back();
}

// $TARNWELL_SCREENSHOTS, else the build's screenshots folder; created when missing.
inline std::filesystem::path ScreenshotFolder() {
  const char* chosen = std::getenv("TARNWELL_SCREENSHOTS");
  std::filesystem::path folder = chosen != nullptr && chosen[0] != '\0' ? chosen : TARNWELL_SCREENSHOT_DIR;
  std::filesystem::create_directories(folder);
  return folder;
}

}  // namespace tarnwell::browser
