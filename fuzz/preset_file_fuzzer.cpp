// A preset file on disk as the page's requests meet it: loaded, listed with the folder and
// exported, in a Tarnwell whose user folders lie in a scratch folder of this run.
#include <filesystem>
#include <fstream>
#include <string>

#include "fuzz/fuzzed_tarnwell.h"
#include "rack/preset_file.h"

namespace {

constexpr char kFileName[] = "fuzzed.json";

void Request(Tarnwell& plugin, tarnwell::UIMsgTag tag, const std::string& payload) {
  tarnwell::fuzz::Request(plugin, tag, payload.data(), payload.size());
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  tarnwell::fuzz::FuzzedTarnwell& session = tarnwell::fuzz::TarnwellInScratchFolders();
  static const std::filesystem::path folder = tarnwell::PresetsFolderOf(*session.plugin);
  std::filesystem::create_directories(folder);
  std::ofstream(folder / kFileName, std::ios::binary | std::ios::trunc)
      .write(reinterpret_cast<const char*>(data), static_cast<std::streamsize>(size));
  Request(*session.plugin, tarnwell::UIMsgTag::LoadPresetRequest, kFileName);
  Request(*session.plugin, tarnwell::UIMsgTag::ListPresetsRequest, "");
  Request(*session.plugin, tarnwell::UIMsgTag::ExportPresetRequest, std::string("\"") + kFileName + "\"");
  session.plugin->OnIdleTick();
  session.fuzzed->CheckParametersInRange();
  session.fuzzed->ProcessAndCheck(64);
  return 0;
}
