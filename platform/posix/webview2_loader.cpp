#include "platform/webview2_loader.h"

namespace plugkit::platform {

// There is no such browser here: the editor starts as on a machine without the runtime.
void* FindWebView2EnvironmentEntry() noexcept { return nullptr; }

}  // namespace plugkit::platform
