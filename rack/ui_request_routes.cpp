// Every request the page can send, by tag. Each handler lives beside the feature it serves.
#include "rack/ui_requests.h"
#include "rack/ui_msg_tag.h"

namespace tarnwell {

namespace {

void ServeSelectFactoryPreset(RackRequestContext& context, const UIRequest& request) {
  context.SelectFactoryPreset(request.ctrlTag);
}

constexpr UIRequestRoute kRoutes[] = {
    {TagValue(UIMsgTag::SelectFactoryPresetRequest), ServeSelectFactoryPreset, 0, nullptr},
};

}  // namespace

std::span<const UIRequestRoute> UIRequestRoutes() { return kRoutes; }

}  // namespace tarnwell
