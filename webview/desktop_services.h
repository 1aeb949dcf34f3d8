// The desktop around the editor as the web UI sees it: the host's window, the shell, the
// network state, the special folders and this module. Tests install a fake desktop.
#pragma once

#include <cstdint>
#include <string>

#include "webview/webview2/types.h"

namespace plugkit::webview {

class DesktopServices {
 public:
  virtual ~DesktopServices() = default;

  // False when the platform has no per-window DPI query.
  virtual bool QueryWindowDpi(void* window, uint32_t& dpi) = 0;
  virtual bool WindowClientSize(void* window, int32_t& width, int32_t& height) = 0;
  virtual bool PostSpaceKeyDown(void* window) = 0;

  virtual bool IsInternetConnected() = 0;
  // The shell's result: above 32 means the link was opened.
  virtual intptr_t OpenInShell(void* parentWindow, const webview2::Char* uri) = 0;

  // UTF-8 folders without a trailing separator; "" when unknown.
  virtual std::string DesktopFolder() = 0;
  virtual std::string WebViewCacheFolder() = 0;
  virtual std::string TemporaryFolder() = 0;

  // The module holding this code (null when unknown) and its bundle's resource folder
  // (with a trailing separator; "" when unknown).
  virtual void* ModuleOfThisCode() = 0;
  virtual std::string ResourceFolder(void* module) = 0;
};

DesktopServices& CurrentDesktop() noexcept;

// Test seam: installs desktop (null restores the platform's) and returns the previous one.
DesktopServices* InstallDesktopServices(DesktopServices* desktop) noexcept;

// folder joined with name by the platform's separator ("" stays "": no folder, no path).
std::string JoinPath(const std::string& folder, const char* name);

}  // namespace plugkit::webview
