// The page's session requests: get, set or clear the account token.
#pragma once

#include <nlohmann/json.hpp>

#include "rack/session_token_store.h"
#include "rack/ui_requests.h"

namespace tarnwell {

// The reply to a request of {"request_id", "action" ("get", "set" or "clear"), "token"}:
// "ok", "request_id", "token" for get and "error" on failure. A request that cannot be read
// answers "bad request" with the request id as far as it was read.
nlohmann::json SessionReply(SessionTokenStore& store, const UIRequest& request);

// The reply when serving failed before the request id was read.
nlohmann::json SessionFailureReply();

}  // namespace tarnwell
