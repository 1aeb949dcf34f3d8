// Finds the browser's environment-creation entry point at run time.
#pragma once

namespace plugkit::platform {

// The address of CreateCoreWebView2EnvironmentWithOptions in WebView2Loader.dll, looked for
// first beside this module and then by bare name; null when the DLL or the export is
// missing (always null where there is no such browser). The DLL stays loaded once found.
void* FindWebView2EnvironmentEntry() noexcept;

}  // namespace plugkit::platform
