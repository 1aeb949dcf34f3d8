// Accuracy of the tempo detector on synthetic drum loops with a known tempo (not a test, and
// not a target to tune towards: it measures the detector as it is). Each loop plays for 20 s
// at 44.1 kHz; what the detector publishes at the end is scored against the true tempo:
// within 1 %, within 4 %, an octave error (within 4 % of half or double the tempo), nothing
// published, or another tempo. Tempos from 145 BPM up are folded to half time by design, so
// they count as octave errors here.
//   tempo_accuracy           the table
//   tempo_accuracy --each    also every loop's published tempo, to compare two builds line by line
#include <cmath>
#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

#include "signals/drum_loop.h"
#include "tempo/tempo_detector.h"

namespace {

using tarnwell::signals::DrumLoop;
using tarnwell::signals::DrumPattern;

constexpr double kRate = 44100.0;
constexpr double kSeconds = 20.0;

struct Score {
  int loops = 0, within1 = 0, within4 = 0, octave = 0, none = 0, other = 0;

  void Add(double truth, double published) {
    ++loops;
    const auto near = [](double a, double b, double share) { return std::fabs(a - b) <= share * b; };
    if (published <= 0.0) {
      ++none;
    } else if (near(published, truth, 0.04)) {
      ++within4;
      if (near(published, truth, 0.01)) ++within1;
    } else if (near(published, truth * 0.5, 0.04) || near(published, truth * 2.0, 0.04)) {
      ++octave;
    } else {
      ++other;
    }
  }
  void Print(const std::string& name) const {
    const auto share = [this](int n) { return 100.0 * n / loops; };
    std::printf("%-34s %5d %8.1f %8.1f %8.1f %8.1f %8.1f\n", name.c_str(), loops, share(within1), share(within4),
                share(octave), share(none), share(other));
  }
};

double Detect(const DrumLoop& loop) {
  const std::vector<double> signal = tarnwell::signals::RenderDrumLoop(loop, kRate, kSeconds);
  TempoDetector detector;
  detector.Prepare(kRate);
  for (size_t start = 0; start < signal.size(); start += 512)
    detector.Feed(signal.data() + start, nullptr, static_cast<int32_t>(std::min<size_t>(512, signal.size() - start)));
  return detector.detectedBpm;
}

}  // namespace

int main(int argc, char** argv) {
  const bool each = argc == 2 && std::strcmp(argv[1], "--each") == 0;
  if (argc > 1 && !each) {
    std::fprintf(stderr, "usage: tempo_accuracy [--each]\n");
    return 2;
  }
  struct Variant {
    const char* name;
    double swing, noise;
    bool levelSteps;
  };
  const Variant variants[] = {{"straight", 0.5, 0.0, false},
                              {"swing 2:1", 2.0 / 3.0, 0.0, false},
                              {"noise rms 0.05", 0.5, 0.05, false},
                              {"level steps", 0.5, 0.0, true}};
  const DrumPattern patterns[] = {DrumPattern::FourOnTheFloor, DrumPattern::Backbeat, DrumPattern::BrokenBeat};
  std::printf("%-34s %5s %8s %8s %8s %8s %8s\n", "loops (60..200 BPM in steps of 5)", "n", "1 %", "4 %", "octave",
              "none", "other");
  Score all, slow, mid, fast;
  for (DrumPattern pattern : patterns) {
    for (const Variant& variant : variants) {
      Score score;
      for (double bpm = 60.0; bpm <= 200.0; bpm += 5.0) {
        DrumLoop loop;
        loop.pattern = pattern;
        loop.bpm = bpm;
        loop.swing = variant.swing;
        loop.noiseRms = variant.noise;
        if (variant.levelSteps) {
          loop.levelStepSeconds = 3.0;
          loop.levelStepsDb = {0.0, -18.0, 6.0, -9.0};
        }
        loop.seed = static_cast<uint32_t>(bpm);
        const double published = Detect(loop);
        if (each) {
          std::printf("%s, %s, %.0f BPM: %.9f\n", tarnwell::signals::DrumPatternName(pattern), variant.name, bpm,
                      published);
        }
        score.Add(bpm, published);
        all.Add(bpm, published);
        (bpm < 80.0 ? slow : bpm < 145.0 ? mid : fast).Add(bpm, published);
      }
      score.Print(std::string(tarnwell::signals::DrumPatternName(pattern)) + ", " + variant.name);
    }
  }
  std::printf("\n");
  slow.Print("all loops, 60..75 BPM");
  mid.Print("all loops, 80..140 BPM");
  fast.Print("all loops, 145..200 BPM");
  all.Print("all loops");
  return 0;
}
