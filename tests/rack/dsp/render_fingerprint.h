#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "rack_render.h"

// A compact record of a stereo render that can tell whether another render of the same material
// stays within kFingerprintStep of it at every sample, without storing the samples.
//
// Each sample is mapped to the index of the kFingerprintStep-wide cell around it; the cells' indices
// are hashed in chunks. Samples lying within kFingerprintMargin steps of a cell edge would flip cell
// on the slightest change, so they are listed and use the cells shifted by half a step, in which they
// sit near the middle. Equal hashes then mean every sample lies in the same cell as before (closer
// than one step); a render that moved no sample by more than kFingerprintMargin steps always matches.
inline constexpr double kFingerprintStep = 1e-7;
inline constexpr double kFingerprintMargin = 0.01;
inline constexpr std::int32_t kFingerprintChunkFrames = 512;

struct RenderFingerprint {
  std::int32_t frames = 0;
  // Over the samples' bits, for the renders that must stay bit-exact.
  std::uint64_t exactHash = 0;
  std::vector<std::uint64_t> chunkHashes;
  // Interleaved sample positions (2 x frame + channel) that use the shifted cells, ascending.
  std::vector<std::uint32_t> shifted;
};

RenderFingerprint TakeFingerprint(const StereoSignal& render);

// Chunks (first frame of each) whose samples left their golden cell; empty when the render matches.
// A render of another length fails at chunk 0.
std::vector<std::int32_t> ChunksOutsideFingerprint(const RenderFingerprint& golden, const StereoSignal& render);

std::uint64_t ExactHash(const StereoSignal& render);

// The file holds named fingerprints. Reading returns false on a missing, short or malformed file.
struct NamedFingerprint {
  std::string name;
  RenderFingerprint fingerprint;
};
bool WriteFingerprints(const std::string& path, const std::vector<NamedFingerprint>& entries);
bool ReadFingerprints(const std::string& path, std::vector<NamedFingerprint>& entries);
