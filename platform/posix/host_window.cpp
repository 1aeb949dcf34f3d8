#include "platform/host_window.h"

namespace plugkit::platform {

const char* const kViewPlatformType = "X11EmbedWindowID";

namespace {
// Stands in for a window id: plug-ins only pass it on, they never dereference it.
struct OpaqueWindow {
  int width;
  int height;
};
}  // namespace

void* CreateHostWindow(int width, int height) { return new OpaqueWindow{width, height}; }

void DestroyHostWindow(void* window) { delete static_cast<OpaqueWindow*>(window); }

}  // namespace plugkit::platform
