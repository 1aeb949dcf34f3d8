// What the browser's callbacks hold instead of a pointer to the web view host: the host
// while it lives and the generation of the browser they were made for. Closing the browser
// starts a new generation, so a completion or event that arrives late finds itself stale
// and never touches a closed browser or a destroyed host.
#pragma once

#include <cstdint>
#include <memory>

namespace plugkit::webview {

class WebViewHost;

struct HostAnchor {
  WebViewHost* host = nullptr;
  uint64_t generation = 0;

  // The host when it lives and is still at generation; otherwise null.
  WebViewHost* LiveAt(uint64_t expected) const { return generation == expected ? host : nullptr; }
};

}  // namespace plugkit::webview
