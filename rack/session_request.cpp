#include "rack/session_request.h"

#include <stdexcept>
#include <string>

namespace tarnwell {

nlohmann::json SessionFailureReply() { return {{"error", "bad request"}, {"ok", false}, {"request_id", ""}}; }

nlohmann::json SessionReply(SessionTokenStore& store, const UIRequest& request) {
  nlohmann::json reply = nlohmann::json::object();
  std::string requestId;
  try {
    if (!request.HasPayload()) throw std::invalid_argument("no payload");
    const nlohmann::json parsed = nlohmann::json::parse(request.Text());
    requestId = parsed.value("request_id", std::string());
    const std::string action = parsed.value("action", std::string("get"));
    reply["request_id"] = requestId;
    if (action == "get") {
      reply["ok"] = true;
      reply["token"] = store.GetSessionToken();
    } else if (action == "set") {
      std::string error;
      const bool ok = store.SetSessionToken(parsed.value("token", std::string()), error);
      reply["ok"] = ok;
      if (!ok) reply["error"] = error;
    } else if (action == "clear") {
      store.ClearSessionToken();
      reply["ok"] = true;
    } else {
      reply["ok"] = false;
      reply["error"] = "bad action";
    }
  } catch (...) {
    reply = {{"error", "bad request"}, {"ok", false}, {"request_id", requestId}};
  }
  return reply;
}

}  // namespace tarnwell
