// Makes what the demo renders: a synthesised vocal-like take as a WAV file, and the saved
// state of one of Tarnwell's factory presets for the host's --state option.
//   tarnwell-demo-input TAKE.wav STATE_FILE PRESET_ID [SECONDS]
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <string>

#include "host/memory_stream.h"
#include "host/wav_file.h"
#include "rack/factory_presets.h"
#include "rack/tarnwell.h"
#include "signals/vocal_signal.h"

namespace {

constexpr double kRate = 48000.0;

int Usage() {
  std::fprintf(stderr, "usage: tarnwell-demo-input TAKE.wav STATE_FILE PRESET_ID [SECONDS]\n");
  return 2;
}

bool WriteTake(const std::string& path, double seconds) {
  const tarnwell::signals::StereoBuffer take = tarnwell::signals::MakeVocalSignal(kRate, seconds);
  tarnwell::host::AudioFile audio;
  audio.sampleRate = kRate;
  audio.channels.assign(2, {});
  audio.channels[0].assign(take.left.begin(), take.left.end());
  audio.channels[1].assign(take.right.begin(), take.right.end());
  std::string error;
  if (tarnwell::host::WriteWav(path, audio, &error)) return true;
  std::fprintf(stderr, "%s: %s\n", path.c_str(), error.c_str());
  return false;
}

bool WritePresetState(const std::string& path, int32_t row) {
  // No tempo block is wanted here: the state does not depend on it.
  auto* plugin = new Tarnwell(tarnwell::MakeSharedTempoBlockSource("TarnwellDemo_none"));
  plugin->SelectFactoryPreset(row);
  tarnwell::host::MemoryStream stream;
  const bool saved = plugin->getState(&stream) == Steinberg::kResultOk;
  plugin->release();
  std::ofstream file(path, std::ios::binary);
  file.write(reinterpret_cast<const char*>(stream.Bytes().data()), static_cast<std::streamsize>(stream.Bytes().size()));
  if (saved && file.good()) return true;
  std::fprintf(stderr, "%s: cannot write the preset state\n", path.c_str());
  return false;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc < 4) return Usage();
  const double seconds = argc > 4 ? std::atof(argv[4]) : 6.0;
  if (!(seconds > 0.0 && seconds <= 600.0)) return Usage();
  int32_t row = -1;
  for (int32_t i = 0; i < tarnwell::kFactoryPresetCount; ++i)
    if (std::strcmp(tarnwell::FactoryPresets()[static_cast<size_t>(i)].id, argv[3]) == 0) row = i;
  if (row < 0) {
    std::fprintf(stderr, "no factory preset \"%s\" (empty, present, speech, live)\n", argv[3]);
    return 2;
  }
  return WriteTake(argv[1], seconds) && WritePresetState(argv[2], row) ? 0 : 1;
}
