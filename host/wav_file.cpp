#include "host/wav_file.h"

#include <cstdint>
#include <cstring>
#include <fstream>
#include <iterator>

namespace tarnwell::host {
namespace {

uint32_t Le32(const uint8_t* p) { return p[0] | (p[1] << 8) | (p[2] << 16) | (static_cast<uint32_t>(p[3]) << 24); }
uint16_t Le16(const uint8_t* p) { return static_cast<uint16_t>(p[0] | (p[1] << 8)); }

void Put32(std::vector<uint8_t>& out, uint32_t v) {
  for (int i = 0; i < 4; ++i) out.push_back(static_cast<uint8_t>(v >> (8 * i)));
}
void Put16(std::vector<uint8_t>& out, uint16_t v) {
  out.push_back(static_cast<uint8_t>(v));
  out.push_back(static_cast<uint8_t>(v >> 8));
}

bool Fail(std::string* error, const char* text) {
  if (error) *error = text;
  return false;
}

}  // namespace

bool ReadWav(const std::string& path, AudioFile* audio, std::string* error) {
  std::ifstream file(path, std::ios::binary);
  if (!file) return Fail(error, "cannot open the file");
  std::vector<uint8_t> bytes((std::istreambuf_iterator<char>(file)), std::istreambuf_iterator<char>());
  if (bytes.size() < 12 || std::memcmp(bytes.data(), "RIFF", 4) != 0 || std::memcmp(bytes.data() + 8, "WAVE", 4) != 0)
    return Fail(error, "not a WAV file");
  uint16_t format = 0, channels = 0, bits = 0;
  uint32_t rate = 0;
  const uint8_t* data = nullptr;
  size_t dataSize = 0;
  for (size_t pos = 12; pos + 8 <= bytes.size();) {
    uint32_t size = Le32(&bytes[pos + 4]);
    const uint8_t* body = &bytes[pos + 8];
    size_t available = bytes.size() - pos - 8;
    if (std::memcmp(&bytes[pos], "fmt ", 4) == 0 && size >= 16 && available >= 16) {
      format = Le16(body);
      channels = Le16(body + 2);
      rate = Le32(body + 4);
      bits = Le16(body + 14);
      if (format == 0xFFFE && size >= 26 && available >= 26) format = Le16(body + 24);  // extensible
    } else if (std::memcmp(&bytes[pos], "data", 4) == 0) {
      data = body;
      dataSize = std::min<size_t>(size, available);
    }
    pos += 8 + static_cast<size_t>(size) + (size & 1);
  }
  if (data == nullptr || channels == 0 || rate == 0) return Fail(error, "the WAV file has no audio");
  bool isFloat = format == 3 && bits == 32;
  bool isPcm = format == 1 && (bits == 16 || bits == 24 || bits == 32);
  if (!isFloat && !isPcm) return Fail(error, "unsupported WAV sample format");
  size_t frameBytes = static_cast<size_t>(channels) * (bits / 8);
  size_t frames = dataSize / frameBytes;
  audio->sampleRate = rate;
  audio->channels.assign(channels, std::vector<float>(frames));
  for (size_t f = 0; f < frames; ++f) {
    for (size_t c = 0; c < channels; ++c) {
      const uint8_t* s = data + f * frameBytes + c * (bits / 8);
      float v;
      if (isFloat) {
        std::memcpy(&v, s, 4);
      } else if (bits == 16) {
        v = static_cast<int16_t>(Le16(s)) / 32768.0f;
      } else if (bits == 24) {
        int32_t i = static_cast<int32_t>((s[0] << 8) | (s[1] << 16) | (static_cast<uint32_t>(s[2]) << 24)) >> 8;
        v = static_cast<float>(i / 8388608.0);
      } else {
        v = static_cast<float>(static_cast<int32_t>(Le32(s)) / 2147483648.0);
      }
      audio->channels[c][f] = v;
    }
  }
  return true;
}

bool WriteWav(const std::string& path, const AudioFile& audio, std::string* error) {
  const uint16_t channels = static_cast<uint16_t>(audio.channels.size());
  const uint32_t frames = static_cast<uint32_t>(audio.Frames());
  const uint32_t dataBytes = frames * channels * 4;
  // A format other than PCM carries the size of its (here empty) extension and a fact chunk
  // with the frame count; readers warn about a file without them.
  constexpr uint32_t kFormatBytes = 18;
  constexpr uint32_t kFactBytes = 4;
  std::vector<uint8_t> out;
  out.reserve(12 + 8 + kFormatBytes + 8 + kFactBytes + 8 + dataBytes);
  out.insert(out.end(), {'R', 'I', 'F', 'F'});
  Put32(out, 4 + 8 + kFormatBytes + 8 + kFactBytes + 8 + dataBytes);
  out.insert(out.end(), {'W', 'A', 'V', 'E', 'f', 'm', 't', ' '});
  Put32(out, kFormatBytes);
  Put16(out, 3);  // IEEE float
  Put16(out, channels);
  Put32(out, static_cast<uint32_t>(audio.sampleRate));
  Put32(out, static_cast<uint32_t>(audio.sampleRate) * channels * 4);
  Put16(out, static_cast<uint16_t>(channels * 4));
  Put16(out, 32);
  Put16(out, 0);
  out.insert(out.end(), {'f', 'a', 'c', 't'});
  Put32(out, kFactBytes);
  Put32(out, frames);
  out.insert(out.end(), {'d', 'a', 't', 'a'});
  Put32(out, dataBytes);
  for (uint32_t f = 0; f < frames; ++f)
    for (uint16_t c = 0; c < channels; ++c) {
      uint32_t bits;
      std::memcpy(&bits, &audio.channels[c][f], 4);
      Put32(out, bits);
    }
  std::ofstream file(path, std::ios::binary | std::ios::trunc);
  if (!file) return Fail(error, "cannot create the output file");
  file.write(reinterpret_cast<const char*>(out.data()), static_cast<std::streamsize>(out.size()));
  if (!file) return Fail(error, "cannot write the output file");
  return true;
}

}  // namespace tarnwell::host
