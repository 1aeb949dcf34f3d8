// User preset files against the rack's parameters: load applies a file, save writes the
// current parameters as one. The file is one JSON object: "name", "category", "inputGain",
// "outputGain", "safety" and ten "slots" ({"amount", "index", "on", "solo", "style",
// "type"}); readers accept any layout and ignore other keys. UI thread only.
#pragma once

#include <string>
#include <string_view>

#include <nlohmann/json.hpp>

#include "rack/factory_presets.h"
#include "rack/rack_request_context.h"

namespace tarnwell {

// What a preset file sets. Throws the JSON library's type error for a top level that is
// neither object nor null, a slot that is not an object, or a key of the wrong type.
PresetSlots SlotsFromPresetFile(nlohmann::json& preset);

// The current parameters as a preset file with the given name.
nlohmann::json PresetFileOf(const RackRequestContext& context, const std::string& name);

// Reads and applies the preset at the relative path; the current preset id becomes
// "user:" or "cloud:" and the text as received. False with error on failure, when neither
// the parameters nor the id change. Throws the JSON library's errors for a damaged file.
bool LoadPreset(RackRequestContext& context, std::string_view relativePath, std::string& error);

// Writes the current parameters as <folder>/<name>.json (both cleaned into one element)
// and makes it the current preset. The old file stays whole when the write fails.
bool SavePreset(RackRequestContext& context, const std::string& name, const std::string& folder, bool overwrite,
                std::string& error);

// The presets folder of the context's application-data folder ("" when there is none).
std::string PresetsFolderOf(const RackRequestContext& context);

}  // namespace tarnwell
