// The listing of every preset file in the presets folder, user and cloud, for the page.
// UI thread only; every listing reads the files anew.
#pragma once

#include <string>

#include <nlohmann/json.hpp>

#include "rack/rack_request_context.h"

namespace tarnwell {

// One entry per readable preset file, in walk order (depth first, each folder entered where
// it is met, the system's order within a folder, links to folders not entered):
// {"id", "name", "nameZh", "pack", "path", "source", "updated_at"}. Files that are not
// regular, not "*.json", over the size limit, not a JSON object, or with a "name" or
// "nameZh" that is not a string are left out. Never throws for what is on the disk.
nlohmann::json ListPresetsIn(const std::string& presetsFolder);

nlohmann::json ListPresets(const RackRequestContext& context);

}  // namespace tarnwell
