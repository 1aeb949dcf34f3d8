#pragma once

#include <string>
#include <vector>

#include "bench/rack_configs.h"

// What the peer benchmark sets against each of our racks: installed LV2 plug-ins doing the same job,
// with settings that make each of them work on the vocal take.

struct PeerControl {
  std::string symbol;
  float value;
};

// One plug-in with its settings. A mono plug-in (one channel) runs as two instances, one per channel.
struct PeerStage {
  std::string label;
  std::string uri;
  int channels;
  std::vector<PeerControl> controls;
};

// A peer is one stage for a block, or a chain of stages set against one of our chains.
struct Peer {
  std::string label;
  std::vector<PeerStage> stages;
};

struct PeerPair {
  RackConfig ours;
  std::vector<Peer> peers;
};

// Each of the seventeen blocks alone at amount 0.5 (the Compressor in each of its four characters),
// then the vocal chain and the "Present" preset against chains of the blocks' first peers.
std::vector<PeerPair> PeerPairs();

// The Compressor, Plate and Glue at amount 0.5 in every character 1..16, against the peers they
// are held to.
std::vector<PeerPair> TargetPairs();
