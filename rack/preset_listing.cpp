#include "rack/preset_listing.h"

#include <utility>
#include <vector>

#include "platform/file_status.h"
#include "rack/preset_file.h"
#include "rack/preset_folder.h"

namespace tarnwell {
namespace {

namespace fs = plugkit::platform;

struct Folder {
  std::string path;
  std::string relative;  // "." for the presets folder itself
  std::vector<fs::FolderEntry> entries;
  size_t next = 0;
};

// A string key's value, the fallback when it is missing; false when it is there but no string.
bool StringKey(const nlohmann::json& preset, const char* key, std::string& out) {
  const auto found = preset.find(key);
  if (found == preset.end()) return true;
  if (!found->is_string()) return false;
  out = found->get<std::string>();
  return true;
}

void AddEntry(nlohmann::json& entries, const std::string& file, const std::string& fileName,
              const std::string& relDir) {
  const fs::FileStatus status = fs::StatusOf(file);
  if (status.kind != fs::FileKind::File || status.size > kPresetFileLimit) return;
  if (!HasPresetExtension(fileName)) return;
  // A name the page could never send back: no load or delete would find it.
  if (!IsValidUtf8(fileName) || !IsValidUtf8(relDir)) return;
  try {
    nlohmann::json preset;
    if (ReadPresetFile(file, preset) != PresetRead::Ok || !preset.is_object()) return;
    std::string name = fileName.substr(0, fileName.rfind('.'));
    std::string nameZh;
    if (!StringKey(preset, "name", name) || !StringKey(preset, "nameZh", nameZh)) return;
    const bool cloud = IsCloudText(relDir);
    const std::string relFile = relDir == "." ? fileName : relDir + "/" + fileName;
    // Packs take the whole folder path below Cloud, however deep.
    const std::string pack = !cloud ? "User" : relDir.size() <= 6 ? kCloudFolder : relDir.substr(6);
    entries.push_back({{"id", (cloud ? "cloud:" : "user:") + relFile},
                       {"name", std::move(name)},
                       {"nameZh", std::move(nameZh)},
                       {"pack", pack},
                       {"path", cloud || relDir == "." ? std::string() : relDir},
                       {"source", cloud ? "cloud" : "user"},
                       {"updated_at", status.hasWriteTime ? status.lastWriteMs : 0}});
  } catch (...) {
    // Unreadable or damaged: left out, the walk goes on.
  }
}

}  // namespace

nlohmann::json ListPresetsIn(const std::string& presetsFolder) {
  nlohmann::json entries = nlohmann::json::array();
  if (presetsFolder.empty()) return entries;
  Folder top{presetsFolder, ".", {}, 0};
  if (!fs::ListFolder(presetsFolder, top.entries)) return entries;
  std::vector<Folder> walk;
  walk.push_back(std::move(top));
  while (!walk.empty()) {
    Folder& folder = walk.back();
    if (folder.next == folder.entries.size()) {
      walk.pop_back();
      continue;
    }
    const fs::FolderEntry& entry = folder.entries[folder.next++];
    const std::string path = JoinPath(folder.path, {entry.name});
    const std::string relative = folder.relative == "." ? entry.name : folder.relative + "/" + entry.name;
    if (entry.isFolder && !entry.isLink) {
      Folder inner{path, relative, {}, 0};
      // A folder that cannot be read ends the walk with what it found so far.
      if (!fs::ListFolder(path, inner.entries)) break;
      walk.push_back(std::move(inner));
      continue;
    }
    AddEntry(entries, path, entry.name, folder.relative);
  }
  return entries;
}

nlohmann::json ListPresets(const RackRequestContext& context) { return ListPresetsIn(PresetsFolderOf(context)); }

}  // namespace tarnwell
