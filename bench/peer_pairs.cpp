#include "bench/peer_pairs.h"

#include <algorithm>
#include <cmath>
#include <cstddef>
#include <cstdint>
#include <map>
#include <string_view>
#include <utility>

#include "rack/factory_presets.h"

using namespace tarnwell::dsp;

namespace {

constexpr double kAmount = 0.5;
constexpr std::int32_t kCharacters = 16;

// Linear gain of a level in dB, as the plug-ins that take their levels linearly want them.
float Linear(double db) { return static_cast<float>(std::pow(10.0, db / 20.0)); }

// The take peaks near -6 dBFS with syllables around -20 dBFS: every threshold below sits under the
// voice, so the dynamics peers act on every phrase; each EQ and saturator is set a few dB off flat.

const PeerStage kLspGate{
    "LSP Gate", "http://lsp-plug.in/plugins/lv2/gate_stereo", 2, {{"gt", Linear(-35.0)}, {"at", 0.5f}, {"rt", 100.0f}}};
const PeerStage kZamGate{"ZamGateX2", "urn:zamaudio:ZamGateX2", 2, {{"thr", -35.0f}, {"att", 0.5f}, {"rel", 100.0f}}};
const PeerStage kCalfGate{"Calf Gate",
                          "http://calf.sourceforge.net/plugins/Gate",
                          2,
                          {{"threshold", Linear(-35.0)}, {"attack", 0.5f}, {"release", 100.0f}}};

const PeerStage kZamLowMidCut{"ZamDynamicEQ 280 Hz",
                              "urn:zamaudio:ZamDynamicEQ",
                              1,
                              {{"togglepeak", 1.0f},
                               {"detectfreq", 280.0f},
                               {"targetfreq", 280.0f},
                               {"thr", -40.0f},
                               {"rat", 2.0f},
                               {"max", 6.0f}}};
const PeerStage kZamPresenceCut{"ZamDynamicEQ 3.5 kHz",
                                "urn:zamaudio:ZamDynamicEQ",
                                1,
                                {{"togglepeak", 1.0f},
                                 {"detectfreq", 3500.0f},
                                 {"targetfreq", 3500.0f},
                                 {"thr", -45.0f},
                                 {"rat", 2.0f},
                                 {"max", 6.0f}}};
const PeerStage kCalfHarshness{"Calf Deesser 2.5 kHz",
                               "http://calf.sourceforge.net/plugins/Deesser",
                               2,
                               {{"threshold", Linear(-40.0)}, {"f1_freq", 2500.0f}, {"f2_freq", 3500.0f}}};
const PeerStage kCalfDeesser{"Calf Deesser",
                             "http://calf.sourceforge.net/plugins/Deesser",
                             2,
                             {{"threshold", Linear(-40.0)}, {"f1_freq", 4800.0f}, {"f2_freq", 6500.0f}}};
const PeerStage kMdaDeesser{"MDA De-ess", "http://drobilla.net/plugins/mda/DeEss", 2, {{"thresh", 0.2f}}};

// Our Compressor at 0.5 (character 1): threshold -27 dB, ratio 2.75, a 10 dB knee, tens of ms.
const PeerStage kLspCompressor{"LSP Compressor",
                               "http://lsp-plug.in/plugins/lv2/compressor_stereo",
                               2,
                               {{"al", Linear(-27.0)}, {"cr", 3.0f}, {"at", 10.0f}, {"rt", 100.0f}}};
const PeerStage kZamCompressor{"ZamCompX2",
                               "urn:zamaudio:ZamCompX2",
                               2,
                               {{"thr", -27.0f}, {"rat", 3.0f}, {"att", 10.0f}, {"rel", 100.0f}, {"kn", 6.0f}}};
const PeerStage kCalfCompressor{
    "Calf Compressor",
    "http://calf.sourceforge.net/plugins/Compressor",
    2,
    {{"threshold", Linear(-27.0)}, {"ratio", 3.0f}, {"attack", 10.0f}, {"release", 100.0f}}};

const PeerStage kX42Presence{
    "x42-eq",
    "http://gareus.org/oss/lv2/fil4#stereo",
    2,
    {{"freq2", 400.0f}, {"gain2", -1.5f}, {"freq4", 3500.0f}, {"gain4", 3.0f}, {"HSfreq", 10000.0f}, {"HSgain", 2.0f}}};
const PeerStage kCalfPresence{"Calf Equalizer 5 Band",
                              "http://calf.sourceforge.net/plugins/Equalizer5Band",
                              2,
                              {{"p1_active", 1.0f},
                               {"p1_freq", 400.0f},
                               {"p1_level", Linear(-1.5)},
                               {"p3_active", 1.0f},
                               {"p3_freq", 3500.0f},
                               {"p3_level", Linear(3.0)},
                               {"hs_active", 1.0f},
                               {"hs_freq", 10000.0f},
                               {"hs_level", Linear(2.0)}}};
const PeerStage kX42Tilt{"x42-eq shelves",
                         "http://gareus.org/oss/lv2/fil4#stereo",
                         2,
                         {{"sec1", 0.0f},
                          {"sec2", 0.0f},
                          {"sec3", 0.0f},
                          {"sec4", 0.0f},
                          {"LSfreq", 400.0f},
                          {"LSgain", -1.5f},
                          {"HSfreq", 1000.0f},
                          {"HSgain", 1.5f}}};
const PeerStage kCalfTilt{"Calf Equalizer 5 Band shelves",
                          "http://calf.sourceforge.net/plugins/Equalizer5Band",
                          2,
                          {{"ls_active", 1.0f},
                           {"ls_freq", 700.0f},
                           {"ls_level", Linear(-1.5)},
                           {"hs_active", 1.0f},
                           {"hs_freq", 700.0f},
                           {"hs_level", Linear(1.5)}}};

const PeerStage kCalfSaturator{"Calf Saturator", "http://calf.sourceforge.net/plugins/Saturator", 2, {}};
const PeerStage kInvadaTube{"Invada Tube", "http://invadarecords.com/plugins/lv2/tube/stereo", 2, {{"drive", 6.0f}}};
const PeerStage kCalfTape{"Calf Tape Simulator", "http://calf.sourceforge.net/plugins/TapeSimulator", 2, {}};
const PeerStage kCalfExciter{"Calf Exciter", "http://calf.sourceforge.net/plugins/Exciter", 2, {}};
const PeerStage kCalfStereoTools{
    "Calf Stereo Tools", "http://calf.sourceforge.net/plugins/StereoTools", 2, {{"stereo_base", 0.3f}}};

const PeerStage kDragonflyPlate{
    "Dragonfly Plate", "urn:dragonfly:plate", 2, {{"dry_level", 100.0f}, {"early_level", 20.0f}, {"decay", 1.0f}}};
const PeerStage kCalfReverb{"Calf Reverb", "http://calf.sourceforge.net/plugins/Reverb", 2, {}};
const PeerStage kDragonflyHall{
    "Dragonfly Hall", "https://github.com/michaelwillis/dragonfly-reverb", 2, {{"dry_level", 100.0f}}};

const PeerStage kCalfDelay{"Calf Vintage Delay", "http://calf.sourceforge.net/plugins/VintageDelay", 2, {}};
const PeerStage kMdaDelay{"MDA Delay", "http://drobilla.net/plugins/mda/Delay", 2, {}};

const PeerStage kX42Trim{"x42 Balance trim", "http://gareus.org/oss/lv2/balance", 2, {{"trim", 3.0f}}};
const PeerStage kInvadaInput{"Invada Input Module", "http://invadarecords.com/plugins/lv2/input", 2, {{"gain", 3.0f}}};

const PeerStage kLspLimiter{
    "LSP Limiter", "http://lsp-plug.in/plugins/lv2/limiter_stereo", 2, {{"th", Linear(-12.0)}, {"boost", 0.0f}}};
const PeerStage kX42Limiter{"x42 dpl", "http://gareus.org/oss/lv2/dpl#stereo", 2, {{"threshold", -10.0f}}};

// Our Clip at 0.5 drives by 8.5 dB into a -0.3 dBFS ceiling.
const PeerStage kCalfLimiter{"Calf Limiter",
                             "http://calf.sourceforge.net/plugins/Limiter",
                             2,
                             {{"level_in", Linear(8.5)}, {"limit", Linear(-0.3)}}};
const PeerStage kMdaLimiter{"MDA Limiter", "http://drobilla.net/plugins/mda/Limiter", 2, {{"thresh", 0.3f}}};

Peer Alone(const PeerStage& stage) { return Peer{stage.label, {stage}}; }

std::vector<Peer> Alone(std::initializer_list<const PeerStage*> stages) {
  std::vector<Peer> peers;
  for (const PeerStage* stage : stages) {
    peers.push_back(Alone(*stage));
  }
  return peers;
}

// Each block's peers, the one the chains use first.
const std::map<EffectType, std::vector<Peer>>& BlockPeers() {
  static const std::map<EffectType, std::vector<Peer>> peers = {
      {EffectType::Gate, Alone({&kLspGate, &kZamGate, &kCalfGate})},
      {EffectType::DeMud, Alone({&kZamLowMidCut})},
      {EffectType::DeHarsh, Alone({&kZamPresenceCut, &kCalfHarshness})},
      {EffectType::DeEsser, Alone({&kCalfDeesser, &kMdaDeesser})},
      {EffectType::Compressor, Alone({&kLspCompressor, &kZamCompressor, &kCalfCompressor})},
      {EffectType::Presence, Alone({&kX42Presence, &kCalfPresence})},
      {EffectType::Tilt, Alone({&kX42Tilt, &kCalfTilt})},
      {EffectType::Saturator, Alone({&kCalfSaturator, &kInvadaTube})},
      {EffectType::Tape, Alone({&kCalfTape})},
      {EffectType::Air, Alone({&kCalfExciter})},
      {EffectType::Width, Alone({&kCalfStereoTools})},
      {EffectType::Plate, Alone({&kDragonflyPlate, &kCalfReverb})},
      {EffectType::Delay, Alone({&kCalfDelay, &kMdaDelay})},
      {EffectType::Trimmer, Alone({&kX42Trim, &kInvadaInput})},
      {EffectType::Glue, Alone({&kLspLimiter, &kX42Limiter})},
      {EffectType::Clip, Alone({&kCalfLimiter, &kMdaLimiter})},
      {EffectType::Shimmer, Alone({&kDragonflyHall, &kCalfReverb})},
  };
  return peers;
}

// The first peer of every bay that runs, in the rack's order.
Peer ChainOfFirstPeers(const EngineSettings& settings) {
  Peer chain{"chain of first peers", {}};
  for (const BayControl& bay : settings.bays) {
    const auto found = BlockPeers().find(static_cast<EffectType>(bay.type));
    if (bay.on && found != BlockPeers().end()) {
      chain.stages.push_back(found->second.front().stages.front());
    }
  }
  return chain;
}

RackConfig PresetRack(std::string_view id) {
  for (const tarnwell::FactoryPreset& preset : tarnwell::FactoryPresets()) {
    if (id != preset.id) {
      continue;
    }
    const tarnwell::PresetSlots slots = tarnwell::SlotsOf(preset);
    RackConfig config{std::string("\"") + preset.name + "\"", EngineSettings{}};
    for (std::size_t b = 0; b < slots.bays.size(); ++b) {
      const tarnwell::PresetBay& bay = slots.bays[b];
      const bool known = bay.type >= 0 && bay.type < kEffectTypeCount;
      config.settings.bays[b] = {bay.type >= 0, false, known ? bay.type : static_cast<std::int32_t>(EffectType::Empty),
                                 std::clamp(bay.character, 0, kCharacters - 1), static_cast<double>(bay.amount)};
    }
    config.settings.inputGainDb = slots.inputGainDb;
    config.settings.outputGainDb = slots.outputGainDb;
    config.settings.safety = slots.safety;
    return config;
  }
  return RackConfig{std::string(id) + " (no such preset)", EngineSettings{}};
}

std::string CharacterName(EffectType type, std::int32_t character) {
  return std::string(EffectTypeName(static_cast<std::int32_t>(type))) + " character " + std::to_string(character + 1);
}

}  // namespace

std::vector<PeerPair> PeerPairs() {
  std::vector<PeerPair> pairs;
  for (const auto& [type, peers] : BlockPeers()) {
    if (type == EffectType::Compressor) {
      for (std::int32_t character = 0; character < 4; ++character) {
        pairs.push_back({BlockRack(CharacterName(type, character), type, character, kAmount), peers});
      }
      continue;
    }
    pairs.push_back({BlockRack(EffectTypeName(static_cast<std::int32_t>(type)), type, 0, kAmount), peers});
  }
  for (RackConfig chain : {VocalChainRack(), PresetRack("present")}) {
    Peer peer = ChainOfFirstPeers(chain.settings);
    pairs.push_back({std::move(chain), {std::move(peer)}});
  }
  return pairs;
}

std::vector<PeerPair> TargetPairs() {
  const std::vector<std::pair<EffectType, std::vector<Peer>>> targets = {
      {EffectType::Compressor, Alone({&kLspCompressor, &kZamCompressor})},
      {EffectType::Plate, Alone({&kDragonflyPlate})},
      {EffectType::Glue, Alone({&kLspLimiter, &kX42Limiter})},
  };
  std::vector<PeerPair> pairs;
  for (const auto& [type, peers] : targets) {
    for (std::int32_t character = 0; character < kCharacters; ++character) {
      pairs.push_back({BlockRack(CharacterName(type, character), type, character, kAmount), peers});
    }
  }
  return pairs;
}
