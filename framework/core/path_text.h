// Path arithmetic on UTF-8 texts, free of any platform: the separator and the bundle's
// architecture folder are passed in, so the same rules are tested with either separator.
// Each function leaves "" in out when it returns false (only when memory runs out).
#pragma once

#include <cstdint>

#include "framework/core/grow_string.h"

namespace plugkit {

// The text of filePath up to and including its last separator. "" when there is no
// separator, or when it is the last character (a folder, not a file).
bool FolderOfFilePath(const char* filePath, char separator, GrowString& out) noexcept;

// The bundle's resource folder for a module folder ".../Contents/<arch>/": the last
// archFolderLength + 1 bytes (the architecture folder and its separator) are removed
// without being checked, a shorter text becomes "", and "Resources" and the separator are
// appended.
bool ResourceFolderOf(const char* moduleFolder, int32_t archFolderLength, char separator, GrowString& out) noexcept;

// The browser's data folder under the roaming application data folder:
// <roaming><sep>Tarnwell<sep>WebViewCache. "" when roaming is "", so that a failed folder
// query never turns into a folder on the current drive.
bool WebViewCacheFolderOf(const char* roamingFolder, char separator, GrowString& out) noexcept;

}  // namespace plugkit
