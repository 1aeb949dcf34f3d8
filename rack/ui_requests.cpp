#include "rack/ui_requests.h"

namespace tarnwell {

nlohmann::json FailedReply(const char* error) { return {{"error", error}, {"ok", false}}; }

bool DispatchUIRequest(RackRequestContext& context, std::span<const UIRequestRoute> routes, int32_t msgTag,
                       int32_t ctrlTag, int32_t dataSize, const void* data) noexcept {
  const UIRequestRoute* route = nullptr;
  for (const UIRequestRoute& candidate : routes)
    if (candidate.msgTag == msgTag) route = &candidate;
  if (route == nullptr) return false;

  const bool hasPayload = data != nullptr && dataSize >= 1;
  const UIRequest request{msgTag, ctrlTag,
                          hasPayload ? std::span(static_cast<const uint8_t*>(data), static_cast<size_t>(dataSize))
                                     : std::span<const uint8_t>()};
  try {
    route->serve(context, request);
  } catch (...) {
    try {
      if (route->failureReply != nullptr) context.QueueUIReply(route->replyTag, route->failureReply());
    } catch (...) {
      // Out of memory even for the failure reply: the page gets none.
    }
  }
  return true;
}

}  // namespace tarnwell
