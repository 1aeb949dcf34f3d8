// The window types a plug-in editor view can be attached to.
#pragma once

namespace plugkit::platform {

// "HWND" on Windows; on Linux the embedding window id ("X11EmbedWindowID"), and "HWND" as
// well, since the parent is only passed on as an opaque handle there. False for null.
bool IsSupportedViewPlatformType(const char* type) noexcept;

// Whether an editor view is offered when no browser loader library can be found. Windows
// offers it all the same; on Linux the view could only stay empty, and a host shows its own
// controls for a plug-in that offers none.
extern const bool kViewWithoutBrowserLoader;

}  // namespace plugkit::platform
