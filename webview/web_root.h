// Finding the page beside the module and loading it when the browser is ready.
#pragma once

#include <string>

namespace plugkit {

class IWebView;

// The UTF-8 path of the page's index file in the bundle's resource folder, found from the
// module holding this code (fallbackModule when that cannot be told). Logs one line about
// the lookup to the UI log. The path is returned whether the file exists or not.
std::string FindWebRoot(void* fallbackModule);

// The editor-init callback of every plug-in class: loads the index file into webView.
void LoadWebUI(IWebView& webView);

// Appends one line to the UI log; failures are ignored.
void AppendUILog(const char* line);

}  // namespace plugkit
