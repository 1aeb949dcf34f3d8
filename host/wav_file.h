// Reading and writing WAV files: PCM 16/24/32-bit and 32-bit float in, 32-bit float out.
#pragma once

#include <string>
#include <vector>

namespace tarnwell::host {

struct AudioFile {
  double sampleRate = 44100.0;
  std::vector<std::vector<float>> channels;  // non-interleaved

  size_t Frames() const { return channels.empty() ? 0 : channels[0].size(); }
};

// False (with *error) for a missing, truncated or unsupported file.
bool ReadWav(const std::string& path, AudioFile* audio, std::string* error);
bool WriteWav(const std::string& path, const AudioFile& audio, std::string* error);

}  // namespace tarnwell::host
