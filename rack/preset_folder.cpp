#include "rack/preset_folder.h"

#include <sstream>
#include <utility>
#include <vector>

#include "platform/file_access.h"
#include "platform/file_status.h"

namespace tarnwell {

namespace fs = plugkit::platform;

std::string PresetsFolderIn(const std::string& appData) {
  if (appData.empty()) return {};
  const std::string folder = JoinPath(appData, {"Tarnwell", "Presets"});
  fs::CreateFolders(folder);
  fs::ClearReadOnly(folder);
  return folder;
}

PresetRead ReadPresetFile(const std::string& file, nlohmann::json& out) {
  const fs::FileStatus status = fs::StatusOf(file);
  if (status.kind != fs::FileKind::File) return PresetRead::NotFound;
  if (status.size > kPresetFileLimit) return PresetRead::TooLarge;
  std::string text;
  // The size may have grown since the status was read: the read itself is bounded too.
  if (!fs::ReadFilePrefix(file, kPresetFileLimit + 1, text)) return PresetRead::NotFound;
  if (text.size() > kPresetFileLimit) return PresetRead::TooLarge;
  std::istringstream stream(std::move(text));
  stream >> out;
  return PresetRead::Ok;
}

bool NestingWithin(const nlohmann::json& value, int limit) {
  std::vector<std::pair<const nlohmann::json*, int>> pending{{&value, 1}};
  while (!pending.empty()) {
    const auto [node, depth] = pending.back();
    pending.pop_back();
    if (!node->is_structured()) continue;
    if (depth > limit) return false;
    for (const nlohmann::json& child : *node) pending.emplace_back(&child, depth + 1);
  }
  return true;
}

bool NamesCloudFolder(std::string_view element) { return fs::FileNameKey(element) == fs::FileNameKey(kCloudFolder); }

Placement PlacementOf(const std::string& presetsFolder, const std::string& existingPath) {
  const std::string root = WithForwardSlashes(fs::CanonicalPath(presetsFolder));
  const std::string path = WithForwardSlashes(fs::CanonicalPath(existingPath));
  if (root.empty() || path.empty()) return Placement::Outside;
  if (path == root) return Placement::User;
  const std::string prefix = root.back() == '/' ? root : root + "/";
  if (path.compare(0, prefix.size(), prefix) != 0) return Placement::Outside;
  const std::string_view relative = std::string_view(path).substr(prefix.size());
  return NamesCloudFolder(relative.substr(0, relative.find('/'))) ? Placement::Cloud : Placement::User;
}

}  // namespace tarnwell
