#include "rack/preset_requests.h"

#include <exception>
#include <string>

#include "rack/preset_exchange.h"
#include "rack/preset_file.h"
#include "rack/preset_listing.h"
#include "rack/ui_msg_tag.h"

namespace tarnwell {
namespace {

nlohmann::json ResultReply(bool ok, const std::string& error, const char* defaultError) {
  if (ok) return {{"ok", true}};
  return FailedReply(error.empty() ? defaultError : error.c_str());
}

void Reply(RackRequestContext& context, UIMsgTag tag, bool ok, const std::string& error, const char* defaultError) {
  context.QueueUIReply(TagValue(tag), ResultReply(ok, error, defaultError));
}

// Runs one request; an exception of the standard family fails it with its message.
template <typename Request>
bool Guarded(std::string& error, Request request) {
  try {
    return request();
  } catch (const std::exception& e) {
    error = e.what();
    return false;
  }
}

}  // namespace

nlohmann::json SaveFailedReply() { return FailedReply("save failed"); }
nlohmann::json EmptyPresetListReply() { return {{"presets", nlohmann::json::array()}}; }
nlohmann::json LoadFailedReply() { return FailedReply("load failed"); }
nlohmann::json DeleteFailedReply() { return FailedReply("delete failed"); }
nlohmann::json ImportFailedReply() { return FailedReply("import failed"); }
nlohmann::json ExportFailedReply() { return FailedReply("export failed"); }

void ServeSavePreset(RackRequestContext& context, const UIRequest& request) {
  std::string error;
  const bool ok = request.HasPayload() && Guarded(error, [&] {
                    const nlohmann::json payload = nlohmann::json::parse(request.Text());
                    const bool overwrite = payload.value("overwrite", false);
                    const std::string folder = payload.value("path", std::string());
                    const std::string name = payload.value("name", std::string());
                    return SavePreset(context, name, folder, overwrite, error);
                  });
  Reply(context, UIMsgTag::SavePresetReply, ok, error, "save failed");
}

void ServeListPresets(RackRequestContext& context, const UIRequest&) {
  context.QueueUIReply(TagValue(UIMsgTag::ListPresetsReply), {{"presets", ListPresets(context)}});
}

void ServeLoadPreset(RackRequestContext& context, const UIRequest& request) {
  std::string error;
  const bool ok = request.HasPayload() && Guarded(error, [&] { return LoadPreset(context, request.Text(), error); });
  Reply(context, UIMsgTag::LoadPresetReply, ok, error, "load failed");
}

// Anything delete throws is answered by its route with the default text.
void ServeDeletePreset(RackRequestContext& context, const UIRequest& request) {
  std::string error;
  const bool ok = request.HasPayload() && DeletePreset(context, request.Text(), error);
  Reply(context, UIMsgTag::DeletePresetReply, ok, error, "delete failed");
}

void ServeImportPreset(RackRequestContext& context, const UIRequest& request) {
  std::string error;
  const bool ok = request.HasPayload() &&
                  Guarded(error, [&] { return ImportPreset(context, nlohmann::json::parse(request.Text()), error); });
  Reply(context, UIMsgTag::ImportPresetReply, ok, error, "import failed");
}

void ServeExportPreset(RackRequestContext& context, const UIRequest& request) {
  std::string error;
  nlohmann::json preset;
  const bool ok = request.HasPayload() && Guarded(error, [&] {
                    // An object names the preset under "path"; anything else must be the path as a string.
                    const nlohmann::json payload = nlohmann::json::parse(request.Text());
                    const std::string path =
                        payload.is_object() ? payload.value("path", std::string()) : payload.get<std::string>();
                    return ExportPreset(context, path, preset, error);
                  });
  if (!ok) return Reply(context, UIMsgTag::ExportPresetReply, ok, error, "export failed");
  context.QueueUIReply(TagValue(UIMsgTag::ExportPresetReply), {{"json", std::move(preset)}, {"ok", true}});
}

}  // namespace tarnwell
