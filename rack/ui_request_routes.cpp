// Every request the page can send, by tag. Each handler lives beside the feature it serves.
#include "rack/preset_requests.h"
#include "rack/session_request.h"
#include "rack/ui_msg_tag.h"
#include "rack/ui_requests.h"

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
    // Preset files.
    {TagValue(UIMsgTag::SavePresetRequest), ServeSavePreset, TagValue(UIMsgTag::SavePresetReply), SaveFailedReply},
    {TagValue(UIMsgTag::ListPresetsRequest), ServeListPresets, TagValue(UIMsgTag::ListPresetsReply),
     EmptyPresetListReply},
    {TagValue(UIMsgTag::LoadPresetRequest), ServeLoadPreset, TagValue(UIMsgTag::LoadPresetReply), LoadFailedReply},
    {TagValue(UIMsgTag::DeletePresetRequest), ServeDeletePreset, TagValue(UIMsgTag::DeletePresetReply),
     DeleteFailedReply},
    {TagValue(UIMsgTag::ImportPresetRequest), ServeImportPreset, TagValue(UIMsgTag::ImportPresetReply),
     ImportFailedReply},
    {TagValue(UIMsgTag::ExportPresetRequest), ServeExportPreset, TagValue(UIMsgTag::ExportPresetReply),
     ExportFailedReply},
};

}  // namespace

std::span<const UIRequestRoute> UIRequestRoutes() { return kRoutes; }

}  // namespace tarnwell
