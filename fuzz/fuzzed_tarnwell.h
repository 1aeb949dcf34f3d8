// Tarnwell driven as a FuzzedPlugin, on a tempo block of the target's own (none until the
// target makes it available).
#pragma once

#include <memory>

#include "fuzz/fuzz_folders.h"
#include "fuzz/fuzz_tempo_source.h"
#include "fuzz/fuzzed_plugin.h"
#include "rack/tarnwell.h"
#include "rack/ui_msg_tag.h"

namespace tarnwell::fuzz {

struct FuzzedTarnwell {
  explicit FuzzedTarnwell(bool blockAvailable = false) {
    tempoBlock.available = blockAvailable;
    plugin = new Tarnwell(SourceOf(tempoBlock));
    fuzzed = std::make_unique<FuzzedPlugin>(plugin);
  }
  FuzzTempoBlock tempoBlock;
  Tarnwell* plugin;  // owned by fuzzed
  std::unique_ptr<FuzzedPlugin> fuzzed;
};

// One Tarnwell for the whole run, whose user folders lie in a scratch folder of the run, for
// the targets that make it write files.
inline FuzzedTarnwell& TarnwellInScratchFolders() {
  static const auto scratch = UseScratchUserFolders();
  static FuzzedTarnwell session;
  (void)scratch;
  return session;
}

// A request as the page's arbitrary message hands it to the plug-in.
inline void Request(Tarnwell& plugin, UIMsgTag tag, const void* payload, size_t size) {
  plugin.HandleUIMessage(TagValue(tag), 0, static_cast<int32_t>(size), payload);
}

}  // namespace tarnwell::fuzz
