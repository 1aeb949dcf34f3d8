// The rules a preset path from the page must pass before any file is touched. They follow
// Windows path semantics on every build ("/" and "\" both separate, drive letters, UNC and
// device prefixes, device names, ":" streams), so that the Linux build refuses exactly what
// the product refuses. Texts are UTF-8.
#pragma once

#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace tarnwell {

inline constexpr char kCloudFolder[] = "Cloud";
inline constexpr char kPresetExtension[] = ".json";
// A preset file is read only up to this size.
inline constexpr size_t kPresetFileLimit = 65536;

// The elements of a relative preset path, first to last.
using PresetPathElements = std::vector<std::string>;

// The text names a cloud preset for load and export: exactly "Cloud", or beginning with
// "Cloud/" (a backslash after Cloud does not count).
bool IsCloudText(std::string_view text);

// The elements of an acceptable preset path of the requested kind, or nothing: refused are
// the empty text, rooted, drive and UNC paths, empty, "." and ".." elements, NUL bytes,
// ":" anywhere, device names (CON, NUL, COM1...), text that is not UTF-8, an extension
// other than exactly ".json", and a first element that is "Cloud" when cloud is false or is
// not "Cloud" when it is true.
std::optional<PresetPathElements> ValidatePresetPath(std::string_view text, bool cloud);

// The text with the nine characters Windows refuses in file names and NUL turned into "-",
// leading spaces and dots and trailing spaces removed. May be empty.
std::string SanitizePresetName(std::string_view text);

// A name Windows takes for a device whatever its extension (CON, PRN, AUX, NUL, COM1-9,
// LPT1-9, CONIN$, CONOUT$, in any case, with trailing dots or spaces).
bool IsDeviceName(std::string_view element);

bool IsValidUtf8(std::string_view text);

// The file name's extension is exactly ".json": from its last "." that is not its first
// character, so ".json" alone has none.
bool HasPresetExtension(std::string_view fileName);

// "\" turned into "/".
std::string WithForwardSlashes(std::string_view text);

// The text's elements split at either separator, empty ones (repeated separators) dropped.
std::vector<std::string> SplitPathElements(std::string_view text);

// folder, then each element after the platform's separator.
std::string JoinPath(const std::string& folder, const PresetPathElements& elements);

// The drive ("C:") or share ("\\server\share") a path starts with, or "".
std::string RootNameOf(std::string_view path);

}  // namespace tarnwell
