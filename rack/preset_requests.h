// The page's preset requests: save (5), list (7), load (9), delete (13), import (15) and
// export (17), each answered under the tag that follows it. The routes are listed in
// ui_request_routes.cpp.
#pragma once

#include <nlohmann/json.hpp>

#include "rack/ui_requests.h"

namespace tarnwell {

void ServeSavePreset(RackRequestContext& context, const UIRequest& request);
void ServeListPresets(RackRequestContext& context, const UIRequest& request);
void ServeLoadPreset(RackRequestContext& context, const UIRequest& request);
void ServeDeletePreset(RackRequestContext& context, const UIRequest& request);
void ServeImportPreset(RackRequestContext& context, const UIRequest& request);
void ServeExportPreset(RackRequestContext& context, const UIRequest& request);

// What each request answers when its handler fails without a text of its own.
nlohmann::json SaveFailedReply();
nlohmann::json EmptyPresetListReply();
nlohmann::json LoadFailedReply();
nlohmann::json DeleteFailedReply();
nlohmann::json ImportFailedReply();
nlohmann::json ExportFailedReply();

}  // namespace tarnwell
