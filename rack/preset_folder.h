// Where the presets live, how a preset file is read, and the checks on where a write or a
// delete really lands. UI thread only; nothing here is cached between requests.
#pragma once

#include <string>
#include <string_view>

#include <nlohmann/json.hpp>

#include "rack/preset_path.h"

namespace tarnwell {

// <appData>/Tarnwell/Presets, created when missing and made writable. "" when appData is ""
// (no application-data folder), so that nothing lands relative to the host's current folder.
std::string PresetsFolderIn(const std::string& appData);

enum class PresetRead { Ok, NotFound, TooLarge };

// Reads one JSON value from the start of a preset file of at most kPresetFileLimit bytes
// (what follows the value is not read). Parse errors throw the JSON library's exception.
PresetRead ReadPresetFile(const std::string& file, nlohmann::json& out);

// Structured values nested no deeper than limit. Copying or serialising a value recurses
// once per level, so deeper values are refused before either.
bool NestingWithin(const nlohmann::json& value, int limit);
inline constexpr int kPresetNestingLimit = 64;

// Where a path resolved on the disk lies relative to the presets folder.
enum class Placement { Outside, User, Cloud };

// The canonical form of an existing path against the canonical presets folder: outside it
// (or unresolvable), a user place, or the Cloud folder or anything in it as the file system
// sees names (so on Windows also "cloud" and "Cloud." and links into it).
Placement PlacementOf(const std::string& presetsFolder, const std::string& existingPath);

// The element names the Cloud folder as the file system compares names.
bool NamesCloudFolder(std::string_view element);

}  // namespace tarnwell
