// Message tags between Tarnwell and its page ("P" the plug-in, "UI" the page). The page
// relies on these numbers.
#pragma once

#include <array>
#include <cstdint>

#include "product/version.h"

namespace tarnwell {

enum class UIMsgTag : int32_t {
  Meters = 0,                      // P to UI: MeterFrame, 16 bytes
  TempoLink = 1,                   // P to UI: tempo (float32), followed 0.0 or 1.0 (float32)
  SelectFactoryPresetRequest = 4,  // UI to P: control tag = factory row 0..3; no answer
  SavePresetRequest = 5,           // UI to P, answered by 6
  SavePresetReply = 6,
  ListPresetsRequest = 7,  // UI to P, answered by 8
  ListPresetsReply = 8,
  LoadPresetRequest = 9,  // UI to P, answered by 10
  LoadPresetReply = 10,
  CurrentPreset = 12,        // P to UI: {"id": current preset id}
  DeletePresetRequest = 13,  // UI to P, answered by 14
  DeletePresetReply = 14,
  ImportPresetRequest = 15,  // UI to P, answered by 16
  ImportPresetReply = 16,
  ExportPresetRequest = 17,  // UI to P, answered by 18
  ExportPresetReply = 18,
  SessionRequest = 20,  // UI to P, answered by 21
  SessionReply = 21,
  Version = 22,  // P to UI: {"version":"<the product version>"}
};

constexpr int32_t TagValue(UIMsgTag tag) { return static_cast<int32_t>(tag); }

// Every tag by the name the page knows it by: the page takes the numbers from the plug-in.
struct NamedUIMsgTag {
  UIMsgTag tag;
  const char* name;
};

inline constexpr std::array<NamedUIMsgTag, 19> kNamedUIMsgTags = {{
    {UIMsgTag::Meters, "meters"},
    {UIMsgTag::TempoLink, "tempoLink"},
    {UIMsgTag::SelectFactoryPresetRequest, "selectFactoryPresetRequest"},
    {UIMsgTag::SavePresetRequest, "savePresetRequest"},
    {UIMsgTag::SavePresetReply, "savePresetReply"},
    {UIMsgTag::ListPresetsRequest, "listPresetsRequest"},
    {UIMsgTag::ListPresetsReply, "listPresetsReply"},
    {UIMsgTag::LoadPresetRequest, "loadPresetRequest"},
    {UIMsgTag::LoadPresetReply, "loadPresetReply"},
    {UIMsgTag::CurrentPreset, "currentPreset"},
    {UIMsgTag::DeletePresetRequest, "deletePresetRequest"},
    {UIMsgTag::DeletePresetReply, "deletePresetReply"},
    {UIMsgTag::ImportPresetRequest, "importPresetRequest"},
    {UIMsgTag::ImportPresetReply, "importPresetReply"},
    {UIMsgTag::ExportPresetRequest, "exportPresetRequest"},
    {UIMsgTag::ExportPresetReply, "exportPresetReply"},
    {UIMsgTag::SessionRequest, "sessionRequest"},
    {UIMsgTag::SessionReply, "sessionReply"},
    {UIMsgTag::Version, "version"},
}};

inline constexpr char kVersionMessage[] = R"({"version":")" TARNWELL_VERSION_TEXT R"("})";

}  // namespace tarnwell
