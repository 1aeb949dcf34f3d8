// Every request the page can send, by tag. Each handler lives beside the feature it serves.
#include "rack/ui_requests.h"
#include "rack/ui_msg_tag.h"
#include "rack/session_request.h"

namespace tarnwell {

namespace {

void ServeSelectFactoryPreset(RackRequestContext& context, const UIRequest& request) {
  context.SelectFactoryPreset(request.ctrlTag);
}

void ServeSession(RackRequestContext& context, const UIRequest& request) {
  context.QueueUIReply(TagValue(UIMsgTag::SessionReply), SessionReply(context.SessionTokens(), request));
}

constexpr UIRequestRoute kRoutes[] = {
    {TagValue(UIMsgTag::SelectFactoryPresetRequest), ServeSelectFactoryPreset, 0, nullptr},
    {TagValue(UIMsgTag::SessionRequest), ServeSession, TagValue(UIMsgTag::SessionReply), SessionFailureReply},
};

}  // namespace

std::span<const UIRequestRoute> UIRequestRoutes() { return kRoutes; }

}  // namespace tarnwell
