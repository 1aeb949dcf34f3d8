// Presets the page brings in and takes out: import writes a preset the page supplies (a
// user preset, or a cloud preset under Cloud/), export reads one back as JSON, delete
// removes a user preset. UI thread only.
#pragma once

#include <string>
#include <string_view>

#include <nlohmann/json.hpp>

#include "rack/rack_request_context.h"

namespace tarnwell {

// {"kind": "user" | "cloud" = "user", "path", "json": {..., "slots": [...]}, "overwrite" =
// true}. Writes "json" with two-space indentation, sorted keys and one final line break, in
// place of the old file only once the whole write succeeded. Throws the JSON library's type
// error for a wrongly typed key.
bool ImportPreset(RackRequestContext& context, const nlohmann::json& request, std::string& error);

// The preset file at the relative path, as a JSON object in preset. Throws the JSON
// library's parse error for a damaged file.
bool ExportPreset(RackRequestContext& context, std::string_view relativePath, nlohmann::json& preset,
                  std::string& error);

// Removes a user preset that lies inside the presets folder; cloud presets are never
// removed. Deleting the current preset makes "factory:empty" current, the rack unchanged.
bool DeletePreset(RackRequestContext& context, std::string_view relativePath, std::string& error);

}  // namespace tarnwell
