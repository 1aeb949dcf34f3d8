// The window types a plug-in editor view can be attached to.
#pragma once

namespace plugkit::platform {

// "HWND" on Windows; on Linux the embedding window id ("X11EmbedWindowID"), and "HWND" as
// well, since the parent is only passed on as an opaque handle there. False for null.
bool IsSupportedViewPlatformType(const char* type) noexcept;

}  // namespace plugkit::platform
