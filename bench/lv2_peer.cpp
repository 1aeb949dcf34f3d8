#include "lv2_peer.h"

#include <lilv/lilv.h>
#include <lv2/atom/atom.h>
#include <lv2/buf-size/buf-size.h>
#include <lv2/core/lv2.h>
#include <lv2/options/options.h>
#include <lv2/parameters/parameters.h>
#include <lv2/urid/urid.h>
#include <lv2/worker/worker.h>

#include <array>
#include <cmath>
#include <stdexcept>
#include <unordered_map>
#include <utility>
#include <vector>

namespace {

// Room for whatever a plug-in writes to its notification ports in one block.
constexpr std::uint32_t kAtomBufferBytes = 64 * 1024;

// The world, freed after every node made from it.
struct World {
  World() : value(lilv_world_new()) {}
  ~World() { lilv_world_free(value); }
  World(const World&) = delete;
  World& operator=(const World&) = delete;
  LilvWorld* value;
};

// A node that frees itself.
struct Node {
  explicit Node(LilvNode* node) : value(node) {}
  ~Node() { lilv_node_free(value); }
  Node(const Node&) = delete;
  Node& operator=(const Node&) = delete;
  LilvNode* value;
};

}  // namespace

struct Lv2Host {
  Lv2Host(double rate, std::uint32_t block);
  Lv2Host(const Lv2Host&) = delete;
  Lv2Host& operator=(const Lv2Host&) = delete;

  LV2_URID Map(const char* uri) {
    const auto found = ids.find(uri);
    if (found != ids.end()) {
      return found->second;
    }
    uris.emplace_back(uri);
    const auto id = static_cast<LV2_URID>(uris.size());
    ids.emplace(uris.back(), id);
    return id;
  }

  World owner;
  LilvWorld* world;
  std::uint32_t maxBlock;
  float sampleRate;
  std::int32_t minBlockValue = 1;
  std::int32_t maxBlockValue;
  std::int32_t nominalBlockValue;
  std::vector<std::string> uris;
  std::unordered_map<std::string, LV2_URID> ids;
  LV2_URID_Map map{};
  LV2_URID_Unmap unmap{};
  std::array<LV2_Options_Option, 5> options{};
  LV2_Feature mapFeature{};
  LV2_Feature unmapFeature{};
  LV2_Feature optionsFeature{};
  LV2_Feature boundedFeature{LV2_BUF_SIZE__boundedBlockLength, nullptr};
  Node audioPort;
  Node controlPort;
  Node atomPort;
  Node cvPort;
  Node inputPort;
};

Lv2Host::Lv2Host(double rate, std::uint32_t block)
    : world(owner.value),
      maxBlock(block),
      sampleRate(static_cast<float>(rate)),
      maxBlockValue(static_cast<std::int32_t>(block)),
      nominalBlockValue(static_cast<std::int32_t>(block)),
      audioPort(lilv_new_uri(world, LILV_URI_AUDIO_PORT)),
      controlPort(lilv_new_uri(world, LILV_URI_CONTROL_PORT)),
      atomPort(lilv_new_uri(world, LV2_ATOM__AtomPort)),
      cvPort(lilv_new_uri(world, LILV_URI_CV_PORT)),
      inputPort(lilv_new_uri(world, LILV_URI_INPUT_PORT)) {
  lilv_world_load_all(world);
  map.handle = this;
  map.map = [](LV2_URID_Map_Handle handle, const char* uri) { return static_cast<Lv2Host*>(handle)->Map(uri); };
  unmap.handle = this;
  unmap.unmap = [](LV2_URID_Unmap_Handle handle, LV2_URID id) -> const char* {
    const auto& known = static_cast<Lv2Host*>(handle)->uris;
    return id >= 1 && id <= known.size() ? known[id - 1].c_str() : nullptr;
  };
  mapFeature = {LV2_URID__map, &map};
  unmapFeature = {LV2_URID__unmap, &unmap};
  const LV2_URID intType = Map(LV2_ATOM__Int);
  options[0] = {LV2_OPTIONS_INSTANCE, 0,          Map(LV2_PARAMETERS__sampleRate), sizeof(float),
                Map(LV2_ATOM__Float), &sampleRate};
  options[1] = {LV2_OPTIONS_INSTANCE, 0,       Map(LV2_BUF_SIZE__minBlockLength),
                sizeof(std::int32_t), intType, &minBlockValue};
  options[2] = {LV2_OPTIONS_INSTANCE, 0,       Map(LV2_BUF_SIZE__maxBlockLength),
                sizeof(std::int32_t), intType, &maxBlockValue};
  options[3] = {LV2_OPTIONS_INSTANCE, 0,       Map(LV2_BUF_SIZE__nominalBlockLength),
                sizeof(std::int32_t), intType, &nominalBlockValue};
  options[4] = {LV2_OPTIONS_INSTANCE, 0, 0, 0, 0, nullptr};
  optionsFeature = {LV2_OPTIONS__options, options.data()};
}

struct Lv2Peer::State {
  Lv2Host* host = nullptr;
  const LilvPlugin* plugin = nullptr;
  LilvInstance* instance = nullptr;
  const LV2_Worker_Interface* worker = nullptr;
  LV2_Worker_Schedule schedule{};
  LV2_Feature scheduleFeature{};
  int channels = 2;
  std::vector<float> controls;
  std::vector<std::uint32_t> audioInputs;
  std::vector<std::uint32_t> audioOutputs;
  std::vector<float> silence;
  std::vector<float> discard;
  // Atom ports: input sequences stay empty, outputs are given their full room before every run.
  std::vector<std::pair<std::uint32_t, std::vector<std::uint64_t>>> atomInputs;
  std::vector<std::pair<std::uint32_t, std::vector<std::uint64_t>>> atomOutputs;
  std::vector<std::vector<float>> cvBuffers;
  std::vector<std::vector<char>> responses;
  int latencyPort = -1;

  ~State() {
    if (instance != nullptr) {
      lilv_instance_deactivate(instance);
      lilv_instance_free(instance);
    }
  }
};

Lv2Peer::Lv2Peer(std::unique_ptr<State> state) : state_(std::move(state)) {}

Lv2Peer::~Lv2Peer() = default;

int Lv2Peer::Channels() const { return state_->channels; }

void Lv2Peer::SetControl(const std::string& symbol, float value) {
  State& s = *state_;
  const Node name(lilv_new_string(s.host->world, symbol.c_str()));
  const LilvPort* port = lilv_plugin_get_port_by_symbol(s.plugin, name.value);
  if (port == nullptr || !lilv_port_is_a(s.plugin, port, s.host->controlPort.value) ||
      !lilv_port_is_a(s.plugin, port, s.host->inputPort.value)) {
    throw std::runtime_error(std::string(lilv_node_as_uri(lilv_plugin_get_uri(s.plugin))) + " has no control input '" +
                             symbol + "'");
  }
  s.controls[lilv_port_get_index(s.plugin, port)] = value;
}

void Lv2Peer::Run(const float* const* inputs, float* const* outputs, std::uint32_t frames) {
  State& s = *state_;
  for (std::size_t c = 0; c < s.audioInputs.size(); ++c) {
    const float* buffer = c < static_cast<std::size_t>(s.channels) ? inputs[c] : s.silence.data();
    // LV2 takes non-const buffers for every port; a plug-in never writes its audio inputs.
    lilv_instance_connect_port(s.instance, s.audioInputs[c], const_cast<float*>(buffer));
  }
  for (std::size_t c = 0; c < s.audioOutputs.size(); ++c) {
    lilv_instance_connect_port(s.instance, s.audioOutputs[c],
                               c < static_cast<std::size_t>(s.channels) ? outputs[c] : s.discard.data());
  }
  for (auto& [index, buffer] : s.atomOutputs) {
    auto* atom = reinterpret_cast<LV2_Atom*>(buffer.data());
    atom->size = static_cast<std::uint32_t>(buffer.size() * sizeof(std::uint64_t) - sizeof(LV2_Atom));
    atom->type = s.host->Map(LV2_ATOM__Chunk);
  }
  lilv_instance_run(s.instance, frames);
  if (s.worker != nullptr) {
    const LV2_Handle handle = lilv_instance_get_handle(s.instance);
    for (const std::vector<char>& response : std::exchange(s.responses, {})) {
      s.worker->work_response(handle, static_cast<std::uint32_t>(response.size()), response.data());
    }
    if (s.worker->end_run != nullptr) {
      s.worker->end_run(handle);
    }
  }
}

std::uint32_t Lv2Peer::LatencyFrames() const {
  const State& s = *state_;
  if (s.latencyPort < 0) {
    return 0;
  }
  const float latency = s.controls[static_cast<std::size_t>(s.latencyPort)];
  return latency > 0.0f && std::isfinite(latency) ? static_cast<std::uint32_t>(std::lround(latency)) : 0;
}

Lv2World::Lv2World(double sampleRate, std::uint32_t maxBlock)
    : host_(std::make_unique<Lv2Host>(sampleRate, maxBlock)) {}

Lv2World::~Lv2World() = default;

bool Lv2World::Has(const std::string& uri) const {
  const Node name(lilv_new_uri(host_->world, uri.c_str()));
  return lilv_plugins_get_by_uri(lilv_world_get_all_plugins(host_->world), name.value) != nullptr;
}

std::unique_ptr<Lv2Peer> Lv2World::Instantiate(const std::string& uri, int channels) {
  Lv2Host& host = *host_;
  const Node name(lilv_new_uri(host.world, uri.c_str()));
  const LilvPlugin* plugin = lilv_plugins_get_by_uri(lilv_world_get_all_plugins(host.world), name.value);
  if (plugin == nullptr) {
    throw std::runtime_error(uri + " is not installed");
  }
  auto state = std::make_unique<Lv2Peer::State>();
  Lv2Peer::State& s = *state;
  s.host = &host;
  s.plugin = plugin;
  s.channels = channels;
  s.schedule.handle = &s;
  s.schedule.schedule_work = [](LV2_Worker_Schedule_Handle handle, std::uint32_t size, const void* data) {
    auto& peer = *static_cast<Lv2Peer::State*>(handle);
    if (peer.worker == nullptr) {
      return LV2_WORKER_ERR_UNKNOWN;
    }
    // The bench has no second thread: the job runs now, its answer after the run.
    const auto respond = [](LV2_Worker_Respond_Handle target, std::uint32_t bytes, const void* answer) {
      const auto* first = static_cast<const char*>(answer);
      static_cast<Lv2Peer::State*>(target)->responses.emplace_back(first, first + bytes);
      return LV2_WORKER_SUCCESS;
    };
    return peer.worker->work(lilv_instance_get_handle(peer.instance), respond, &peer, size, data);
  };
  s.scheduleFeature = {LV2_WORKER__schedule, &s.schedule};
  const std::array<const LV2_Feature*, 6> features = {&host.mapFeature,     &host.unmapFeature, &host.optionsFeature,
                                                      &host.boundedFeature, &s.scheduleFeature, nullptr};

  LilvNodes* required = lilv_plugin_get_required_features(plugin);
  LILV_FOREACH(nodes, i, required) {
    const std::string feature = lilv_node_as_uri(lilv_nodes_get(required, i));
    bool supported = false;
    for (const LV2_Feature* offered : features) {
      supported = supported || (offered != nullptr && feature == offered->URI);
    }
    if (!supported) {
      lilv_nodes_free(required);
      throw std::runtime_error(uri + " needs the unsupported feature " + feature);
    }
  }
  lilv_nodes_free(required);

  const std::uint32_t portCount = lilv_plugin_get_num_ports(plugin);
  std::vector<float> minimum(portCount), maximum(portCount), defaults(portCount);
  lilv_plugin_get_port_ranges_float(plugin, minimum.data(), maximum.data(), defaults.data());
  s.controls.assign(portCount, 0.0f);
  s.silence.assign(host.maxBlock, 0.0f);
  s.discard.assign(host.maxBlock, 0.0f);
  for (std::uint32_t p = 0; p < portCount; ++p) {
    const LilvPort* port = lilv_plugin_get_port_by_index(plugin, p);
    const bool input = lilv_port_is_a(plugin, port, host.inputPort.value);
    if (lilv_port_is_a(plugin, port, host.audioPort.value)) {
      (input ? s.audioInputs : s.audioOutputs).push_back(p);
    } else if (lilv_port_is_a(plugin, port, host.controlPort.value)) {
      s.controls[p] = !std::isnan(defaults[p]) ? defaults[p] : !std::isnan(minimum[p]) ? minimum[p] : 0.0f;
    } else if (lilv_port_is_a(plugin, port, host.atomPort.value)) {
      (input ? s.atomInputs : s.atomOutputs)
          .emplace_back(p, std::vector<std::uint64_t>(kAtomBufferBytes / sizeof(std::uint64_t), 0));
    } else {
      s.cvBuffers.emplace_back(host.maxBlock, 0.0f);
    }
  }
  if (s.audioInputs.size() < static_cast<std::size_t>(channels) ||
      s.audioOutputs.size() < static_cast<std::size_t>(channels)) {
    throw std::runtime_error(uri + " has fewer than " + std::to_string(channels) + " audio ports each way");
  }
  if (lilv_plugin_has_latency(plugin)) {
    s.latencyPort = static_cast<int>(lilv_plugin_get_latency_port_index(plugin));
  }

  s.instance = lilv_plugin_instantiate(plugin, host.sampleRate, features.data());
  if (s.instance == nullptr) {
    throw std::runtime_error(uri + " did not instantiate");
  }
  s.worker =
      static_cast<const LV2_Worker_Interface*>(lilv_instance_get_extension_data(s.instance, LV2_WORKER__interface));
  std::size_t cv = 0;
  for (std::uint32_t p = 0; p < portCount; ++p) {
    const LilvPort* port = lilv_plugin_get_port_by_index(plugin, p);
    if (lilv_port_is_a(plugin, port, host.controlPort.value)) {
      lilv_instance_connect_port(s.instance, p, &s.controls[p]);
    } else if (!lilv_port_is_a(plugin, port, host.audioPort.value) &&
               !lilv_port_is_a(plugin, port, host.atomPort.value)) {
      lilv_instance_connect_port(s.instance, p, s.cvBuffers[cv++].data());
    }
  }
  for (auto& [index, buffer] : s.atomInputs) {
    auto* sequence = reinterpret_cast<LV2_Atom_Sequence*>(buffer.data());
    sequence->atom.size = sizeof(LV2_Atom_Sequence_Body);
    sequence->atom.type = host.Map(LV2_ATOM__Sequence);
    lilv_instance_connect_port(s.instance, index, buffer.data());
  }
  for (auto& [index, buffer] : s.atomOutputs) {
    lilv_instance_connect_port(s.instance, index, buffer.data());
  }
  lilv_instance_activate(s.instance);
  return std::unique_ptr<Lv2Peer>(new Lv2Peer(std::move(state)));
}
