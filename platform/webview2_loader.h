// Finds the browser's environment-creation entry point at run time.
#pragma once

namespace plugkit::platform {

// The address of CreateCoreWebView2EnvironmentWithOptions in WebView2Loader.dll (on Linux
// libWebView2Loader.so, which only the test browser provides), looked for first beside this
// module and then by bare name; null when the library or the export is missing. The library
// stays loaded once found.
void* FindWebView2EnvironmentEntry() noexcept;

}  // namespace plugkit::platform
