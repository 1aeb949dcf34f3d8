// A desktop for the tests: windows with a chosen DPI and client size, a shell and a network
// state that only record, folders inside a scratch folder of the test's own.
#pragma once

#include <cstdint>
#include <filesystem>
#include <map>
#include <string>
#include <utility>
#include <vector>

#include "webview/desktop_services.h"

namespace fake {

class FakeDesktop final : public plugkit::webview::DesktopServices {
 public:
  // Installs itself until destroyed and makes a fresh scratch folder (removed again).
  FakeDesktop();
  ~FakeDesktop() override;

  bool QueryWindowDpi(void* window, uint32_t& dpi) override;
  bool WindowClientSize(void* window, int32_t& width, int32_t& height) override;
  bool PostSpaceKeyDown(void* window) override;
  bool IsInternetConnected() override { return online; }
  intptr_t OpenInShell(void* parentWindow, const char16_t* uri) override;
  std::string DesktopFolder() override { return desktopFolder; }
  std::string WebViewCacheFolder() override { return webViewCacheFolder; }
  std::string TemporaryFolder() override { return temporaryFolder; }
  void* ModuleOfThisCode() override { return moduleOfThisCode; }
  std::string ResourceFolder(void* module) override;

  // --- Settings.
  bool dpiQueryAvailable = true;
  std::map<void*, uint32_t> windowDpi;                       // windows not listed have 96
  std::map<void*, std::pair<int32_t, int32_t>> clientSizes;  // windows not listed cannot be read
  bool online = true;
  intptr_t shellResult = 42;
  std::string desktopFolder;
  std::string webViewCacheFolder;
  std::string temporaryFolder;
  void* moduleOfThisCode = nullptr;
  std::map<void*, std::string> resourceFolders;  // per module handle, "" for the others

  // --- Records.
  std::vector<void*> spaceKeyDowns;
  struct ShellCall {
    void* parentWindow;
    std::string uri;
  };
  std::vector<ShellCall> shellCalls;
  std::vector<void*> resourceFolderQueries;

  const std::filesystem::path& Scratch() const { return scratch_; }
  // The lines of a log in the temporary folder, split at CR LF; a final partial line (not
  // ended by CR LF) is returned as the last element so that a wrong ending shows.
  std::vector<std::string> LogLines(const char* logName) const;
  void ClearLog(const char* logName) const;

 private:
  plugkit::webview::DesktopServices* previous_;
  std::filesystem::path scratch_;
};

}  // namespace fake
