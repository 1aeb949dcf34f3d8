// Import payloads as the page sends them, into a Tarnwell whose user folders lie in a scratch
// folder of this run; whatever an import wrote is then listed and loaded, and the presets
// folder is emptied for the next input.
#include <filesystem>
#include <string>
#include <system_error>

#include "fuzz/fuzzed_tarnwell.h"
#include "rack/preset_file.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  using tarnwell::fuzz::Request;
  tarnwell::fuzz::FuzzedTarnwell& session = tarnwell::fuzz::TarnwellInScratchFolders();
  static const std::filesystem::path folder = tarnwell::PresetsFolderOf(*session.plugin);
  Request(*session.plugin, tarnwell::UIMsgTag::ImportPresetRequest, data, size);
  Request(*session.plugin, tarnwell::UIMsgTag::ListPresetsRequest, nullptr, 0);
  std::error_code error;
  for (const auto& entry : std::filesystem::recursive_directory_iterator(folder, error)) {
    if (!entry.is_regular_file(error)) continue;
    const std::string relative = std::filesystem::relative(entry.path(), folder, error).generic_string();
    Request(*session.plugin, tarnwell::UIMsgTag::LoadPresetRequest, relative.data(), relative.size());
  }
  session.plugin->OnIdleTick();
  session.fuzzed->CheckParametersInRange();
  session.fuzzed->ProcessAndCheck(64);
  std::filesystem::remove_all(folder, error);
  return 0;
}
