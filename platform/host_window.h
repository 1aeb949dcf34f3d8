// A top-level window the test host offers as the parent of a plug-in's editor.
#pragma once

namespace plugkit::platform {

// The platform type string a plug-in view is attached with ("HWND" on Windows).
extern const char* const kViewPlatformType;

// A visible-less parent window of the given size; an opaque handle where there is no
// window system to use. Null on failure.
void* CreateHostWindow(int width, int height);
void DestroyHostWindow(void* window);

}  // namespace plugkit::platform
