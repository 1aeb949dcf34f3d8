// The folders every path of the plug-ins starts from, as UTF-8 texts: the module's own
// folder and its bundle's resources, and the platform's special folders. Each returns
// false, with "" in out, when the platform cannot tell (or memory ran out); callers treat
// "" as "no such folder" and build nothing on it.
#pragma once

#include "framework/core/grow_string.h"

namespace plugkit {

// The folder of the module file, with a trailing separator.
bool ModuleFolder(void* moduleHandle, GrowString& out) noexcept;

// The bundle's "Resources" folder beside the module's architecture folder, with a
// trailing separator.
bool ResourceFolder(void* moduleHandle, GrowString& out) noexcept;

// The user's local application data folder, or with allUsers the folder shared by all
// users. No trailing separator.
bool AppDataFolder(GrowString& out, bool allUsers) noexcept;

// The user's desktop folder. No trailing separator.
bool DesktopFolder(GrowString& out) noexcept;

// The browser's data folder: Tarnwell/WebViewCache under the roaming application data.
bool WebViewCacheFolder(GrowString& out) noexcept;

// A NUL-terminated UTF-16 text as UTF-8, sized to the text (unpaired surrogates become
// U+FFFD). Null gives "".
bool WideToUtf8(GrowString& out, const char16_t* text) noexcept;

}  // namespace plugkit
