// The demo's two ends of TarnwellTempo:
//   tempo-demo loop OUT.wav BPM [SECONDS]   writes a stereo drum loop (kick, snare, eighth
//                                           hats) at that tempo, 48 kHz
//   tempo-demo published NAME               prints what the tempo block of that name holds,
//                                           then removes the name (the demo's own block)
#include <cstdio>
#include <cstdlib>
#include <string>

#include "host/wav_file.h"
#include "platform/performance_clock.h"
#include "platform/shared_memory.h"
#include "signals/drum_loop.h"
#include "tempo/tempo_block.h"

namespace {

int WriteLoop(const char* path, double bpm, double seconds) {
  if (!(bpm >= 20.0 && bpm <= 400.0 && seconds > 0.0 && seconds <= 600.0)) return 2;
  tarnwell::signals::DrumLoop loop;
  loop.pattern = tarnwell::signals::DrumPattern::Backbeat;
  loop.bpm = bpm;
  loop.swing = 0.58;
  const std::vector<double> mono = tarnwell::signals::RenderDrumLoop(loop, 48000.0, seconds);
  tarnwell::host::AudioFile audio;
  audio.sampleRate = 48000.0;
  audio.channels.assign(2, std::vector<float>(mono.size()));
  for (size_t i = 0; i < mono.size(); ++i)
    audio.channels[0][i] = audio.channels[1][i] = static_cast<float>(0.7 * mono[i]);
  std::string error;
  if (tarnwell::host::WriteWav(path, audio, &error)) return 0;
  std::fprintf(stderr, "%s: %s\n", path, error.c_str());
  return 1;
}

int ShowPublished(const char* name) {
  plugkit::platform::SharedMemory memory;
  if (!memory.OpenReadOnly(name, sizeof(TempoBlock))) {
    std::printf("no tempo block %s\n", name);
    return 1;
  }
  TempoBlockReading reading{};
  bool read = false;
  for (int attempt = 0; attempt < 100 && !read; ++attempt)
    read = TryReadTempoBlock(*static_cast<const TempoBlock*>(memory.Data()), &reading);
  memory.Close();
  plugkit::platform::RemoveSharedMemoryName(name);
  if (!read || reading.magic != kTempoBlockMagic) {
    std::printf("tempo block %s holds no record\n", name);
    return 1;
  }
  if (reading.bpm > 0.0f)
    std::printf("TarnwellTempo published %.1f BPM at confidence %.2f\n", reading.bpm, reading.confidence);
  else
    std::printf("TarnwellTempo published no tempo (confidence %.2f)\n", reading.confidence);
  return 0;
}

}  // namespace

int main(int argc, char** argv) {
  const std::string command = argc > 1 ? argv[1] : "";
  if (command == "loop" && argc >= 4)
    return WriteLoop(argv[2], std::atof(argv[3]), argc > 4 ? std::atof(argv[4]) : 12.0);
  if (command == "published" && argc >= 3) return ShowPublished(argv[2]);
  std::fprintf(stderr, "usage: tempo-demo loop OUT.wav BPM [SECONDS] | tempo-demo published NAME\n");
  return 2;
}
