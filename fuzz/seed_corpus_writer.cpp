// Writes the fuzz targets' seed corpora: state chunks the plug-ins save themselves, and small
// hand-made page messages, tuning environments, addresses and tempo blocks. Run from the fuzz
// build; its output is committed under fuzz/corpus/<target>/:
//   build/fuzz/fuzz/seed_corpus_writer fuzz/corpus
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <optional>
#include <string>
#include <vector>

#include "duck/tarnwell_duck.h"
#include "fuzz/fuzzed_plugin.h"
#include "fuzz/fuzzed_tarnwell.h"
#include "rack/factory_presets.h"
#include "rack/preset_file.h"
#include "rack/session_token_store.h"
#include "rack/tarnwell.h"
#include "rack/tarnwell_params.h"
#include "tempo/tarnwell_tempo.h"
#include "tempo/tempo_block.h"

namespace {

namespace fs = std::filesystem;

void Write(const fs::path& folder, const std::string& name, const void* data, size_t size) {
  fs::create_directories(folder);
  std::ofstream(folder / name, std::ios::binary)
      .write(static_cast<const char*>(data), static_cast<std::streamsize>(size));
}
void Write(const fs::path& folder, const std::string& name, const std::vector<uint8_t>& bytes) {
  Write(folder, name, bytes.data(), bytes.size());
}
void Write(const fs::path& folder, const std::string& name, const std::string& text) {
  Write(folder, name, text.data(), text.size());
}

std::vector<uint8_t> Saved(tarnwell::fuzz::FuzzedPlugin& plugin) {
  std::vector<uint8_t> chunk;
  plugin.Instance().SaveState(&chunk);
  return chunk;
}

void WriteTarnwellStates(const fs::path& folder) {
  tarnwell::fuzz::FuzzedTarnwell session;
  Tarnwell* tarnwell = session.plugin;
  tarnwell::fuzz::FuzzedPlugin& plugin = *session.fuzzed;
  Write(folder, "default", Saved(plugin));
  for (int32_t i = 0; i < tarnwell::kFactoryPresetCount; ++i) {
    tarnwell->SelectFactoryPreset(i);
    Write(folder, "factory-" + std::to_string(i), Saved(plugin));
  }
  // A version-1 chunk: two preset ids behind the version, the second one current.
  std::vector<uint8_t> chunk = Saved(plugin);
  const size_t versionAt = 4 + 3 * tarnwell::kParamCount * 8 + 4;
  chunk.resize(versionAt);
  const int32_t one = 1;
  std::memcpy(chunk.data(), &one, 4);
  const auto put = [&](const void* p, size_t n) {
    chunk.insert(chunk.end(), static_cast<const uint8_t*>(p), static_cast<const uint8_t*>(p) + n);
  };
  put(&one, 4);
  for (const char* id : {"user:a.json", "user:b.json"}) {
    const int32_t length = static_cast<int32_t>(std::strlen(id));
    put(&length, 4);
    put(id, std::strlen(id));
  }
  const int32_t bypass = 0;
  put(&bypass, 4);
  Write(folder, "version-1", chunk);
}

void WriteDuckStates(const fs::path& folder) {
  tarnwell::fuzz::FuzzedPlugin plugin(CreateDuckInstance());
  Write(folder, "default", Saved(plugin));
  auto* controller = plugin.Instance().Controller();
  controller->setParamNormalized(ParamAmount, 1.0);
  controller->setParamNormalized(ParamCharacter, 1.0);
  controller->setParamNormalized(ParamOn, 0.0);
  plugin.Instance().InputChanges().Add(ParamAmount, 0, 1.0);
  plugin.Instance().InputChanges().Add(ParamCharacter, 0, 1.0);
  plugin.Instance().InputChanges().Add(ParamOn, 0, 0.0);
  plugin.ProcessAndCheck(64);
  Write(folder, "speak-full-off", Saved(plugin));
}

void WriteTempoStates(const fs::path& folder) {
  tarnwell::fuzz::FuzzedPlugin plugin(new TarnwellTempo("TarnwellFuzzSeeds"));
  Write(folder, "default", Saved(plugin));
  auto* controller = plugin.Instance().Controller();
  for (int32_t i = 0; i < controller->getParameterCount(); ++i) {
    Steinberg::Vst::ParameterInfo info{};
    if (controller->getParameterInfo(i, info) == Steinberg::kResultOk && (info.flags & info.kIsReadOnly) == 0)
      plugin.Instance().InputChanges().Add(info.id, 0, 1.0);
  }
  plugin.ProcessAndCheck(64);
  Write(folder, "every-setting-at-its-top", Saved(plugin));
}

// Preset files as the plug-in writes them, and import payloads that carry them.
void WritePresets(const fs::path& files, const fs::path& imports) {
  tarnwell::fuzz::FuzzedTarnwell session;
  for (int32_t i = 0; i < tarnwell::kFactoryPresetCount; ++i) {
    session.plugin->SelectFactoryPreset(i);
    const nlohmann::json preset = tarnwell::PresetFileOf(*session.plugin, "Preset " + std::to_string(i));
    Write(files, "factory-" + std::to_string(i), preset.dump(2));
    const char* kind = i % 2 == 0 ? "user" : "cloud";
    const nlohmann::json import = {
        {"kind", kind}, {"path", "Imported " + std::to_string(i) + ".json"}, {"json", preset}, {"overwrite", i < 2}};
    Write(imports, std::string(kind) + "-" + std::to_string(i), import.dump());
  }
  Write(files, "empty-object", std::string("{}"));
  Write(imports, "into-a-subfolder", std::string(R"({"path":"a/b/c.json","json":{"name":"x","slots":[{"type":3}]}})"));
}

struct KeptCredentials final : plugkit::platform::CredentialStore {
  std::optional<std::string> Read(const std::string&) override { return blob; }
  bool Write(const std::string&, const std::string&, std::string_view written) override {
    if (refuse) return false;
    blob = std::string(written);
    return true;
  }
  bool Delete(const std::string&) override { return false; }
  std::optional<std::string> blob;
  bool refuse = true;
};

// The session file the store writes when the credential store refuses, and the credential
// blob it writes when the store takes it (after an odd first byte, as the target reads it).
void WriteSessionStores(const fs::path& folder) {
  const fs::path scratch = fs::temp_directory_path() / "tarnwell-fuzz-seeds";
  KeptCredentials credentials;
  tarnwell::SessionTokenStore store(credentials, scratch.string());
  std::string error;
  store.SetSessionToken("abcdefghijklmnop.QRSTUV-0123456789_=", error);
  std::ifstream file(store.SessionFilePathCreatingFolder(), std::ios::binary);
  const std::string sealed((std::istreambuf_iterator<char>(file)), std::istreambuf_iterator<char>());
  Write(folder, "session-file", " " + sealed);  // an even first byte: the file
  credentials.refuse = false;
  store.SetSessionToken("abcdefghijklmnop.QRSTUV-0123456789_=", error);
  Write(folder, "credential", "\x01" + credentials.blob.value_or(""));
  fs::remove_all(scratch);
}

void WritePageMessages(const fs::path& folder) {
  const char* const messages[] = {
      R"({"msg":"SPVFUI","paramIdx":3,"value":0.75})",
      R"({"msg":"SPVFUI","paramIdx":4,"value":1e300})",
      R"({"msg":"BPCFUI","paramIdx":0})",
      R"({"msg":"EPCFUI","paramIdx":53})",
      R"({"msg":"SAMFUI","msgTag":4,"ctrlTag":2})",
      R"({"msg":"SAMFUI","msgTag":5,"ctrlTag":0,"data":"eyJuYW1lIjoiTXkgVm9pY2UifQ=="})",
      R"({"msg":"SAMFUI","msgTag":7,"ctrlTag":0,"data":"e30="})",
      R"({"msg":"SAMFUI","msgTag":9,"ctrlTag":0,"data":"eyJpZCI6ImZhY3Rvcnk6cHJlc2VudCJ9"})",
      R"({"msg":"SAMFUI","msgTag":13,"ctrlTag":0,"data":"eyJpZCI6InVzZXI6TXkgVm9pY2UuanNvbiJ9"})",
      R"({"msg":"SAMFUI","msgTag":20,"ctrlTag":0,"data":"eyJvcCI6ImdldCJ9"})",
      R"({"msg":"SAMFUI","msgTag":15,"ctrlTag":-1,"data":"=!"})",
      R"({"msg":"SMMFUI","statusByte":144,"dataByte1":60,"dataByte2":100})",
      R"({"msg":"SKPFUI","keyCode":32,"utf8":" ","S":false,"C":false,"A":false,"isUp":false})",
      R"({"msg":"SKPFUI","keyCode":97,"utf8":"ArrowLeft","S":true,"C":true,"A":true,"isUp":true})",
      R"(["SPVFUI"])",
  };
  int i = 0;
  for (const char* message : messages) Write(folder, "message-" + std::to_string(i++), std::string(message));
}

void WriteTuningEnvironments(const fs::path& folder) {
  const char* const environments[] = {
      "TARNWELL_SAT=2\nTARNWELL_SAT_DRIVE_DB=12.5\nTARNWELL_SAT_SCALE=-3\nTARNWELL_SAT_BIAS=0.1\nTARNWELL_SAT_BIASQ=-999\n",
      "TARNWELL_AIR_OS=4\nTARNWELL_AIR_DRIVE=2\nTARNWELL_AIR_OUT=0.5\nTARNWELL_AIR_EXP=1.5\nTARNWELL_AIR_TOP=16000\n"
      "TARNWELL_AIR_BIAS=0.05\nTARNWELL_AIR_INHP=2500\n",
      "TARNWELL_AIR_MODE=1\nTARNWELL_AIR_RCROSS=5000\nTARNWELL_AIR_ROUT=1.2\nTARNWELL_AIR_BESSEL=1\n",
      "TARNWELL_AIR_MODE=2\nTARNWELL_AIR_SHELFDB=6\nTARNWELL_AIR_SHELFF0=8000\n",
      "TARNWELL_PLATE_WET=0.5\nTARNWELL_PLATE_ERFB=0.3\nTARNWELL_PLATE_EROUT=0.4\nTARNWELL_PLATE_FBBASE=0.8\n"
      "TARNWELL_PLATE_MOD=0.2\nTARNWELL_PLATE_DAMPBASE=0.4\nTARNWELL_PLATE_DAMPSLOPE=0.2\nTARNWELL_PLATE_DCHZ=20\n"
      "TARNWELL_PLATE_HPHZ=100\nTARNWELL_PLATE_ERDIFF=0.5\nTARNWELL_PLATE_COMBMODINT=1\n",
      "TARNWELL_PLATE_TANK=2\nTARNWELL_PLATE_TANKDECAY=0.7\nTARNWELL_PLATE_TANKDAMP=0.3\nTARNWELL_PLATE_MODDEPTH=8\n"
      "TARNWELL_PLATE_CHAIN=1\nTARNWELL_PLATE_CHAINCOEF=0.6\nTARNWELL_PLATE_TANKTOWET=0.5\nTARNWELL_PLATE_CHAINLOOP=0.2\n"
      "TARNWELL_PLATE_TANKMOD=1\nTARNWELL_PLATE_TANKMODINT=1\n",
      "TARNWELL_SHIM_DAMP=0.5\nTARNWELL_SHIM_LOOPGAIN=1.05\n",
      "TARNWELL_AIR_OS=-7\nTARNWELL_SAT_DRIVE_DB=inf\nTARNWELL_PLATE_WET=nan\nTARNWELL_SHIM_DAMP=1e999\n",
      "TARNWELL_AIR_OS=99999999999\nTARNWELL_PLATE_MODDEPTH=  -0x1p4\nTARNWELL_AIR_TOP=.5e\n",
  };
  int i = 0;
  for (const char* environment : environments)
    Write(folder, "environment-" + std::to_string(i++), std::string(environment));
  // Environments in turn, as the process environment changes between two prepares.
  Write(folder, "environments-in-turn",
        std::string(
            "TARNWELL_PLATE_MODDEPTH=8\nTARNWELL_PLATE_TANK=2\n--\nTARNWELL_AIR_OS=1\n--\nTARNWELL_SHIM_DAMP=0.2\n"));
}

void WriteAddresses(const fs::path& folder) {
  const char* const urls[] = {
      "about:blank",
      "https://plugin.tarnwell.example/index.html",
      "https://plugin.tarnwell.example/a/%2e%2e/b.html",
      "https://plugin.tarnwell.example/%252e%252e/b.html",
      "http://plugin.tarnwell.example/index.html",
      "file:///C:/Bundle/Resources/web/index.html",
      "file://localhost/C:/Bundle/Resources/web/index.html?x=1#top",
      "file:/tmp/Bundle/Resources/web/../secret.txt",
      "file:///tmp/Bundle/Resources/web%2Fcommon",
  };
  int i = 0;
  for (const char* url : urls) Write(folder, "address-" + std::to_string(i++), std::string(url));
}

void WriteTempoBlocks(const fs::path& folder) {
  struct Seed {
    const char* name;
    uint32_t sequence;
    float bpm, confidence;
    int64_t stampMs, nowMs;
  };
  const Seed seeds[] = {
      {"fresh", 2, 128.0f, 0.9f, 100000, 100500},
      {"stale", 4, 90.0f, 0.5f, 100000, 102000},
      {"busy", 3, 128.0f, 0.9f, 100000, 100000},
      {"unconfident", 2, 128.0f, 0.29f, 100000, 100000},
      {"from the future", 2, 140.0f, 1.0f, 200000, 100000},
      {"slowest", 2, 1e-30f, 1.0f, 5, 5},
  };
  for (const Seed& seed : seeds) {
    TempoBlock block{};
    block.sequence = seed.sequence;
    block.magic = kTempoBlockMagic;
    block.version = kTempoBlockVersion;
    block.bpm = seed.bpm;
    block.confidence = seed.confidence;
    block.timestampMs = seed.stampMs;
    block.writerPid = 4242;
    std::vector<uint8_t> bytes(sizeof block + sizeof seed.nowMs);
    std::memcpy(bytes.data(), &block, sizeof block);
    std::memcpy(bytes.data() + sizeof block, &seed.nowMs, sizeof seed.nowMs);
    std::string name = seed.name;
    for (char& c : name) c = c == ' ' ? '-' : c;
    Write(folder, name, bytes);
  }
}

}  // namespace

int main(int argc, char** argv) {
  if (argc != 2) {
    std::fprintf(stderr, "usage: %s <corpus folder>\n", argv[0]);
    return 2;
  }
  const fs::path root = argv[1];
  WriteTarnwellStates(root / "tarnwell_state");
  WriteDuckStates(root / "duck_state");
  WriteTempoStates(root / "tempo_state");
  WritePresets(root / "preset_file", root / "preset_import");
  WriteSessionStores(root / "session_file");
  WritePageMessages(root / "page_message");
  WriteTuningEnvironments(root / "tuning_env");
  WriteAddresses(root / "navigation_guard");
  WriteTempoBlocks(root / "tempo_block");
  return 0;
}
