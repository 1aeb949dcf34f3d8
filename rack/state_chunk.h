// Tarnwell's state chunk: the framework's parameter block wrapped in two copies of the
// normalised values (written for older readers, never read), a marker, a version and the
// current preset id. Hosts store it in sessions, so the layout is fixed.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

#include "framework/core/state_blob.h"
#include "framework/plugin_base.h"

namespace tarnwell {

// Stream bytes 'P' 'B' 'C' 'T'.
inline constexpr uint32_t kStateMarker = 0x54434250;
inline constexpr int32_t kStateVersion = 2;
inline constexpr int32_t kMaxPresetIdBytes = 240;
inline constexpr const char* kDefaultPresetId = "factory:empty";

// Appends a chunk; false when the parameter block could not be written.
bool WriteStateChunk(plugkit::StateBlob& blob, const plugkit::IPluginBase& plugin, std::string_view presetId);

struct ReadChunk {
  // Behind what was read; -1 when the parameter block could not be read.
  int32_t end = -1;
  std::string presetId = kDefaultPresetId;
  // False when the marker stands at end but the version or id behind it could not be read:
  // what follows end is then the damaged tail, not the binding's bypass flag.
  bool endsAtBypass = true;
};

// Reads a chunk at start into the plug-in's parameters. A missing marker, an old or unknown
// version or an unreadable id keep the parameters and give the default id.
ReadChunk ReadStateChunk(const plugkit::StateBlob& blob, int32_t start, plugkit::IPluginBase& plugin);

// The id as stored: up to its first NUL, at most 240 bytes, never ending inside a UTF-8
// sequence that the cut split.
std::string StoredPresetId(std::string_view text);

}  // namespace tarnwell
