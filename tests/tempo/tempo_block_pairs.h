// What the tempo block tests and their peer process agree on: the writer pairs every tempo
// with a confidence derived from it, so a reader can tell a torn record from a whole one.
#pragma once

#include <cstdint>

namespace tarnwell::test {

inline float PeerBpm(uint32_t update) { return 40.0f + static_cast<float>(update % 2600) * 0.1f; }
inline float PairedConfidence(float bpm) { return bpm * 0.003f; }

// Exit codes of the peer process.
enum PeerExit : int {
  kPeerOk = 0,
  kPeerNoBlock = 1,
  kPeerBadMagic = 2,
  kPeerOddSequence = 3,
  kPeerMismatch = 4,
  kPeerUsage = 5,
  kPeerStale = 6,
};

}  // namespace tarnwell::test
