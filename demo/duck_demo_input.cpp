// Makes what the demo renders through TarnwellDuck: a four-channel WAV file whose first two
// channels are a music bed (the main input) and whose last two are a synthesised vocal take
// (the side-chain key), so that the bed ducks under the voice.
//   duck-demo-input OUT.wav [SECONDS]
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <numbers>
#include <string>

#include "host/wav_file.h"
#include "signals/vocal_signal.h"

namespace {

constexpr double kRate = 48000.0;

// A slow A minor chord with a soft pulse, about -12 dBFS.
float BedSample(size_t i, int channel) {
  const double t = static_cast<double>(i) / kRate;
  double sum = 0.0;
  for (double hz : {110.0, 220.0, 261.63, 329.63}) sum += std::sin(2.0 * std::numbers::pi * hz * t + channel * 0.3);
  const double pulse = 0.75 + 0.25 * std::sin(2.0 * std::numbers::pi * 2.0 * t);
  return static_cast<float>(0.06 * pulse * sum);
}

}  // namespace

int main(int argc, char** argv) {
  if (argc < 2) {
    std::fprintf(stderr, "usage: duck-demo-input OUT.wav [SECONDS]\n");
    return 2;
  }
  const double seconds = argc > 2 ? std::atof(argv[2]) : 6.0;
  if (!(seconds > 0.0 && seconds <= 600.0)) return 2;
  const tarnwell::signals::StereoBuffer voice = tarnwell::signals::MakeVocalSignal(kRate, seconds);
  tarnwell::host::AudioFile audio;
  audio.sampleRate = kRate;
  audio.channels.assign(4, std::vector<float>(voice.left.size()));
  for (size_t i = 0; i < voice.left.size(); ++i) {
    audio.channels[0][i] = BedSample(i, 0);
    audio.channels[1][i] = BedSample(i, 1);
    audio.channels[2][i] = static_cast<float>(voice.left[i]);
    audio.channels[3][i] = static_cast<float>(voice.right[i]);
  }
  std::string error;
  if (tarnwell::host::WriteWav(argv[1], audio, &error)) return 0;
  std::fprintf(stderr, "%s: %s\n", argv[1], error.c_str());
  return 1;
}
