// IWebView: puts the browser into the editor's parent window, loads the page, carries page
// messages and scripts, and logs its life cycle. The plug-in object derives it (through the
// web editor delegate) and overrides the hooks. Everything runs on the host's UI thread.
#pragma once

#include <cstdint>
#include <functional>
#include <memory>

#include "framework/core/grow_string.h"

namespace plugkit {

namespace webview {
class WebViewHost;
}

class IWebView {
 public:
  // Receives a script's result as UTF-8 JSON text.
  using ScriptCompletion = std::function<void(const char* resultJson)>;

  // With enableDevTools the browser's developer tools and default context menus are on.
  explicit IWebView(bool enableDevTools = false);
  virtual ~IWebView();
  IWebView(const IWebView&) = delete;
  IWebView& operator=(const IWebView&) = delete;

  // --- Hooks; texts are NUL-terminated UTF-8.
  virtual void OnBrowserReady() {}
  // After every navigation that completed successfully.
  virtual void OnWebContentLoaded() {}
  virtual void OnPageMessage(const char* json) { (void)json; }
  // Every navigation is put here; false cancels it. url may be null.
  virtual bool MayNavigateTo(const char* url) {
    (void)url;
    return true;
  }
  virtual bool MayDownload(const char* mimeType) {
    (void)mimeType;
    return false;
  }
  // Default: the desktop folder, a separator and the file name of the proposed path.
  virtual void GetDownloadPath(const char* proposedPath, GrowString& outPath);
  virtual void OnDownloadFinished(const char* path) { (void)path; }
  virtual void OnDownloadFailed(const char* path) { (void)path; }
  virtual void OnDownloadProgress(int64_t received, int64_t total) { (void)received, (void)total; }

  // --- Operations.
  // Starts the browser in parentWindow and returns parentWindow at once; the browser becomes
  // ready later (OnBrowserReady). Sizes are logical units; scale is only logged.
  void* OpenWebView(void* parentWindow, float x, float y, float width, float height, float scale);
  // Closes the browser and drops it; completions still under way are ignored when they come.
  void CloseBrowser();
  void ResizeBrowser(float x, float y, float width, float height);
  // Serves the folder of name (a UTF-8 file path) under the virtual host and navigates to
  // the file. Nothing happens before the browser is ready.
  void LoadFile(const char* name);
  // Runs script in the page; without a browser it is dropped and completion never runs.
  void RunPageScript(const char* script, ScriptCompletion completion = {});
  // The folder LoadFile served last ("" before).
  void GetWebFolder(GrowString& out) const;
  // An opaque browser (the default) paints its own background; a transparent one shows the
  // parent window through. Applies when the browser is next created.
  void SetOpaque(bool opaque);

  static void AppendWebViewLog(const char* line);
  static float WindowDpiScale(void* window);

 private:
  std::unique_ptr<webview::WebViewHost> webViewHost_;
};

}  // namespace plugkit
