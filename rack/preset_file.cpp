#include "rack/preset_file.h"

#include <algorithm>
#include <cmath>

#include "platform/atomic_file_write.h"
#include "platform/file_access.h"
#include "platform/file_status.h"
#include "rack/preset_folder.h"
#include "rack/tarnwell_params.h"

namespace tarnwell {
namespace {

namespace fs = plugkit::platform;

constexpr char kUserPrefix[] = "user:";
constexpr char kCloudPrefix[] = "cloud:";

// An integer key read through a double, so that any JSON number (1e300, 4294967296, 2.7) is
// truncated and range-checked before it becomes an int32.
double TruncatedNumber(const nlohmann::json& slot, const char* key, double fallback) {
  return std::trunc(slot.value(key, fallback));
}

int32_t ClampedInt(double value, int32_t low, int32_t high) {
  return static_cast<int32_t>(std::clamp(value, static_cast<double>(low), static_cast<double>(high)));
}

bool IsOn(const RackRequestContext& context, int32_t paramIdx) { return context.ParamValue(paramIdx) >= 0.5; }

int32_t WholeValue(const RackRequestContext& context, int32_t paramIdx) {
  return static_cast<int32_t>(std::trunc(context.ParamValue(paramIdx)));
}

}  // namespace

std::string PresetsFolderOf(const RackRequestContext& context) { return PresetsFolderIn(context.LocalAppDataFolder()); }

PresetSlots SlotsFromPresetFile(nlohmann::json& preset) {
  PresetSlots slots;
  // Mutable access on purpose: a null file reads as an object without slots, while any other
  // top level that is not an object fails with the library's type error.
  const nlohmann::json& list = preset["slots"];
  for (const nlohmann::json& slot : list) {
    const double index = TruncatedNumber(slot, "index", -1.0);
    if (!(index >= 0.0 && index < static_cast<double>(dsp::kBayCount))) continue;
    PresetBay bay;
    bay.type = ClampedInt(TruncatedNumber(slot, "type", -1.0), -1, dsp::kEffectTypeCount - 1);
    bay.amount = static_cast<float>(std::clamp(slot.value("amount", 0.0), 0.0, 1.0));
    bay.character = ClampedInt(TruncatedNumber(slot, "style", 0.0), 0, kCharacterCount - 1);
    if (!slot.value("on", true)) bay.type = -1;
    slots.bays[static_cast<size_t>(index)] = bay;
  }
  slots.safety = preset.value("safety", true);
  slots.outputGainDb = preset.value("outputGain", 0.0);
  slots.inputGainDb = preset.value("inputGain", 0.0);
  return slots;
}

nlohmann::json PresetFileOf(const RackRequestContext& context, const std::string& name) {
  nlohmann::json slots = nlohmann::json::array();
  for (int32_t bay = 0; bay < dsp::kBayCount; ++bay) {
    slots.push_back({{"amount", context.ParamValue(BayParam(bay, BayField::Amount)) / 100.0},
                     {"index", bay},
                     {"on", IsOn(context, BayParam(bay, BayField::On))},
                     {"solo", IsOn(context, BayParam(bay, BayField::Solo))},
                     {"style", WholeValue(context, BayParam(bay, BayField::Character))},
                     {"type", WholeValue(context, BayParam(bay, BayField::Effect))}});
  }
  return {{"category", "User"},
          {"inputGain", context.ParamValue(kInputParam)},
          {"name", name},
          {"outputGain", context.ParamValue(kOutputParam)},
          {"safety", IsOn(context, kSafetyParam)},
          {"slots", std::move(slots)}};
}

bool LoadPreset(RackRequestContext& context, std::string_view relativePath, std::string& error) {
  const bool cloud = IsCloudText(relativePath);
  const auto elements = ValidatePresetPath(relativePath, cloud);
  if (!elements) {
    error = "invalid preset path";
    return false;
  }
  const std::string root = PresetsFolderOf(context);
  nlohmann::json preset;
  switch (root.empty() ? PresetRead::NotFound : ReadPresetFile(JoinPath(root, *elements), preset)) {
    case PresetRead::Ok:
      break;
    case PresetRead::NotFound:
      error = "preset not found";
      return false;
    case PresetRead::TooLarge:
      error = "preset too large";
      return false;
  }
  // Everything is read before anything changes, so a damaged file leaves id and rack alone.
  const PresetSlots slots = SlotsFromPresetFile(preset);
  const std::string previousId = context.CurrentPresetId();
  context.SetCurrentPresetId((cloud ? kCloudPrefix : kUserPrefix) + std::string(relativePath));
  try {
    context.ApplyPresetSlots(slots);
  } catch (...) {
    context.SetCurrentPresetId(previousId);
    throw;
  }
  return true;
}

bool SavePreset(RackRequestContext& context, const std::string& name, const std::string& folder, bool overwrite,
                std::string& error) {
  const std::string cleanName = SanitizePresetName(name);
  if (cleanName.empty()) {
    error = "name required";
    return false;
  }
  const std::string root = PresetsFolderOf(context);
  const std::string cleanFolder = SanitizePresetName(folder);
  if (cleanFolder.compare(0, 5, kCloudFolder) == 0 || NamesCloudFolder(cleanFolder)) {
    error = "cloud preset is read-only";
    return false;
  }
  // A device name writes nowhere (NUL) or to a port (COM1).
  if (root.empty() || IsDeviceName(cleanName) || IsDeviceName(cleanFolder)) {
    error = "cannot write preset";
    return false;
  }
  PresetPathElements inRoot;
  if (!cleanFolder.empty()) inRoot.push_back(cleanFolder);
  const std::string dir = JoinPath(root, inRoot);
  fs::CreateFolders(dir);
  // The folder as the disk resolves it: a link or another spelling must not lead into Cloud
  // or out of the presets folder.
  switch (PlacementOf(root, dir)) {
    case Placement::User:
      break;
    case Placement::Cloud:
      error = "cloud preset is read-only";
      return false;
    case Placement::Outside:
      error = "cannot write preset";
      return false;
  }
  inRoot.push_back(cleanName + kPresetExtension);
  const std::string target = JoinPath(root, inRoot);
  const fs::FileKind existing = fs::StatusOf(target).kind;
  if (existing == fs::FileKind::Unreadable) {
    error = "cannot write preset";
    return false;
  }
  if (existing != fs::FileKind::Missing && !overwrite) {
    error = "preset exists";
    return false;
  }
  const std::string text = PresetFileOf(context, name).dump(2);
  if (text.size() > kPresetFileLimit) {
    error = "preset too large";
    return false;
  }
  if (!fs::WriteFileAtomically(target, text)) {
    error = "cannot write preset";
    return false;
  }
  context.SetCurrentPresetId(kUserPrefix + (cleanFolder.empty() ? std::string() : cleanFolder + "/") + cleanName +
                             kPresetExtension);
  context.MarkPresetIdChanged();
  return true;
}

}  // namespace tarnwell
