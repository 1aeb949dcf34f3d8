// The dispatcher of the page's requests: one route per request tag. A route's handler reads
// the request and queues its own reply; anything it throws is caught here and answered with
// the route's failure reply, so no request can disturb the host.
#pragma once

#include <cstdint>
#include <span>
#include <string_view>

#include <nlohmann/json.hpp>

#include "rack/rack_request_context.h"

namespace tarnwell {

struct UIRequest {
  int32_t msgTag;
  int32_t ctrlTag;
  // The decoded payload; empty when the page sent none.
  std::span<const uint8_t> payload;

  bool HasPayload() const noexcept { return !payload.empty(); }
  std::string_view Text() const noexcept { return {reinterpret_cast<const char*>(payload.data()), payload.size()}; }
};

struct UIRequestRoute {
  int32_t msgTag;
  void (*serve)(RackRequestContext& context, const UIRequest& request);
  // The reply tag and reply sent when serve throws; no reply when failureReply is null.
  int32_t replyTag;
  nlohmann::json (*failureReply)();
};

// {"error": error, "ok": false}.
nlohmann::json FailedReply(const char* error);

// The routes of the plug-in (ui_request_routes.cpp).
std::span<const UIRequestRoute> UIRequestRoutes();

// Serves msgTag through its route. False, with nothing done, for a tag that has no route.
bool DispatchUIRequest(RackRequestContext& context, std::span<const UIRequestRoute> routes, int32_t msgTag,
                       int32_t ctrlTag, int32_t dataSize, const void* data) noexcept;

}  // namespace tarnwell
