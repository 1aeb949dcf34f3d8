#pragma once

#include <cstdint>
#include <memory>
#include <string>

// A minimal LV2 host for the peer benchmark: one world of the installed bundles, the features the
// peers ask for (URID map, options, bounded block length, a worker that runs its jobs at once), and
// instances driven block by block with float buffers. Not real-time safe: it is a bench host.

struct Lv2Host;

// One instantiated and activated plug-in. Its main audio inputs and outputs are the first
// `channels` audio ports of each direction; further audio inputs (side chains) read silence and
// further outputs are discarded.
class Lv2Peer {
 public:
  ~Lv2Peer();
  Lv2Peer(const Lv2Peer&) = delete;
  Lv2Peer& operator=(const Lv2Peer&) = delete;

  int Channels() const;
  // Throws std::runtime_error naming the symbol when the plug-in has no such control input.
  void SetControl(const std::string& symbol, float value);
  // One block of at most the world's maximum block length.
  void Run(const float* const* inputs, float* const* outputs, std::uint32_t frames);
  // The latency the plug-in reported after its last run; 0 when it reports none.
  std::uint32_t LatencyFrames() const;

  struct State;

 private:
  friend class Lv2World;
  explicit Lv2Peer(std::unique_ptr<State> state);
  std::unique_ptr<State> state_;
};

class Lv2World {
 public:
  Lv2World(double sampleRate, std::uint32_t maxBlock);
  ~Lv2World();
  Lv2World(const Lv2World&) = delete;
  Lv2World& operator=(const Lv2World&) = delete;

  bool Has(const std::string& uri) const;
  // Throws std::runtime_error when the plug-in is missing, will not instantiate, or has fewer
  // audio ports than `channels` in either direction.
  std::unique_ptr<Lv2Peer> Instantiate(const std::string& uri, int channels);

 private:
  std::unique_ptr<Lv2Host> host_;
};
