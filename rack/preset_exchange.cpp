#include "rack/preset_exchange.h"

#include "platform/atomic_file_write.h"
#include "platform/file_access.h"
#include "platform/file_status.h"
#include "rack/preset_file.h"
#include "rack/preset_folder.h"
#include "rack/preset_path.h"
#include "rack/state_chunk.h"

namespace tarnwell {
namespace {

namespace fs = plugkit::platform;

bool Fail(std::string& error, const char* text) {
  error = text;
  return false;
}

bool IsSeparator(char c) { return c == '/' || c == '\\'; }

// What delete refuses before looking at the elements: NUL, text that is not UTF-8, a network
// or device prefix ("\\"), and any ":" (drives, and the streams of a file).
bool IsRefusedDeleteText(std::string_view text) {
  return text.find('\0') != std::string_view::npos || !IsValidUtf8(text) || text.find(':') != std::string_view::npos ||
         (text.size() >= 2 && IsSeparator(text[0]) && IsSeparator(text[1]));
}

}  // namespace

bool ImportPreset(RackRequestContext& context, const nlohmann::json& request, std::string& error) {
  if (!request.is_object()) return Fail(error, "bad request");
  const std::string kind = request.value("kind", std::string("user"));
  if (kind != "user" && kind != "cloud") return Fail(error, "bad kind");
  const bool cloud = kind == "cloud";
  const auto elements = ValidatePresetPath(request.value("path", std::string()), cloud);
  if (!elements) return Fail(error, "invalid preset path");
  // "cloud/" and "Cloud./" are the Cloud folder where names fold.
  if (!cloud && NamesCloudFolder(elements->front())) return Fail(error, "cloud preset is read-only");

  const auto preset = request.find("json");
  if (preset == request.end() || !preset->is_object()) return Fail(error, "bad preset");
  const auto slots = preset->find("slots");
  if (slots == preset->end() || !slots->is_array()) return Fail(error, "bad preset");
  if (!NestingWithin(*preset, kPresetNestingLimit)) return Fail(error, "bad preset");
  // Readers refuse files over the limit, the final line break included.
  const std::string text = preset->dump(2) + "\n";
  if (text.size() > kPresetFileLimit) return Fail(error, "preset too large");

  const std::string root = PresetsFolderOf(context);
  if (root.empty()) return Fail(error, "cannot write preset");
  const std::string target = JoinPath(root, *elements);
  const fs::FileKind existing = fs::StatusOf(target).kind;
  if (existing != fs::FileKind::Missing && existing != fs::FileKind::Unreadable && !request.value("overwrite", true))
    return Fail(error, "preset exists");

  const std::string parent = JoinPath(root, PresetPathElements(elements->begin(), elements->end() - 1));
  fs::CreateFolders(parent);
  switch (PlacementOf(root, parent)) {
    case Placement::Outside:
      return Fail(error, "cannot write preset");
    case Placement::Cloud:
      if (!cloud) return Fail(error, "cloud preset is read-only");
      break;
    case Placement::User:
      break;
  }
  if (!fs::WriteFileAtomically(target, text)) return Fail(error, "cannot write preset");
  return true;
}

bool ExportPreset(RackRequestContext& context, std::string_view relativePath, nlohmann::json& preset,
                  std::string& error) {
  const auto elements = ValidatePresetPath(relativePath, IsCloudText(relativePath));
  if (!elements) return Fail(error, "invalid preset path");
  const std::string root = PresetsFolderOf(context);
  if (root.empty()) return Fail(error, "preset not found");
  nlohmann::json value;
  switch (ReadPresetFile(JoinPath(root, *elements), value)) {
    case PresetRead::Ok:
      break;
    case PresetRead::NotFound:
      return Fail(error, "preset not found");
    case PresetRead::TooLarge:
      return Fail(error, "preset too large");
  }
  // The reply copies and serialises the value, which recurses once per level.
  if (!value.is_object() || !NestingWithin(value, kPresetNestingLimit)) return Fail(error, "bad preset");
  preset = std::move(value);
  return true;
}

bool DeletePreset(RackRequestContext& context, std::string_view relativePath, std::string& error) {
  if (relativePath.empty()) return Fail(error, "preset not found");
  if (IsRefusedDeleteText(relativePath)) return Fail(error, "invalid preset path");
  const PresetPathElements elements = SplitPathElements(relativePath);
  for (const std::string& element : elements)
    if (element == ".." || IsDeviceName(element)) return Fail(error, "invalid preset path");
  // "." elements are allowed, so the first named element is the one that counts.
  for (const std::string& element : elements) {
    if (element == ".") continue;
    if (element == kCloudFolder || NamesCloudFolder(element)) return Fail(error, "cloud preset is read-only");
    break;
  }
  std::string_view last;
  if (!elements.empty() && !IsSeparator(relativePath.back())) last = elements.back();
  if (!HasPresetExtension(last)) return Fail(error, "not a user preset");

  const std::string root = PresetsFolderOf(context);
  if (root.empty()) return Fail(error, "preset not found");
  // A single leading separator means the root of the presets folder's drive.
  const std::string file =
      IsSeparator(relativePath.front()) ? JoinPath(RootNameOf(root), elements) : JoinPath(root, elements);
  if (fs::StatusOf(file).kind != fs::FileKind::File) return Fail(error, "preset not found");
  switch (PlacementOf(root, file)) {
    case Placement::Outside:
      return Fail(error, "invalid preset path");
    case Placement::Cloud:
      return Fail(error, "cloud preset is read-only");
    case Placement::User:
      break;
  }
  if (!fs::RemoveFile(file)) return Fail(error, "cannot delete preset");
  // The id keeps the text as it was loaded; either separator names the same preset.
  if (WithForwardSlashes(context.CurrentPresetId()) == "user:" + WithForwardSlashes(relativePath)) {
    context.SetCurrentPresetId(kDefaultPresetId);
    context.MarkPresetIdChanged();
  }
  return true;
}

}  // namespace tarnwell
