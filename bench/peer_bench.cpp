// Our blocks and chains beside installed LV2 plug-ins doing the same jobs, on the same vocal take in
// one process. Every round times each of our racks and each of its peers on the same stretch of the
// take, ours first in even rounds and the peers first in odd ones; a pair's ratio is the median of
// its per-round ratios, printed with their quartiles. Each processor's effect on the take is printed
// beside its cost, so that a peer that idles shows: its level change, the level of what it changed
// beyond a fixed gain (the latency-aligned input scaled to fit the output best, taken from the output;
// a peer that looks ahead without saying so is aligned where it correlates best),
// and the spread of its short-term gain, which dynamics processors move (gates in the pauses).
//
//   peer_bench [--rate HZ] [--block FRAMES] [--rounds N] [--seconds S] [--filter TEXT] [--targets]
//
// --targets runs the Compressor, Plate and Glue in every character against their target peers.
#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <memory>
#include <stdexcept>
#include <string>
#include <vector>

#include "bench/lv2_peer.h"
#include "bench/peer_pairs.h"
#include "framework/denormal_mode.h"
#include "rack/dsp/engine.h"
#include "signals/vocal_signal.h"

namespace {

using tarnwell::signals::MakeVocalSignal;
using tarnwell::signals::StereoBuffer;

constexpr double kTakeSeconds = 20.0;
constexpr double kPreRollSeconds = 1.0;
// After the timed rounds, each processor's effect is measured over one whole phrase of the take
// (voice, sibilance and the room noise of the pause), so that gates show too.
constexpr double kMeasureSeconds = 3.0;
constexpr double kGainWindowSeconds = 0.01;
// Below about -80 dBFS a window is digital silence, not the take's room noise.
constexpr double kGainWindowFloor = 1e-4;
// Some peers look ahead without reporting a latency; their delay is found by correlation.
constexpr std::size_t kLongestUnreportedLatency = 1024;
constexpr double kCorrelationSeconds = 1.0;

struct Options {
  double rate = 48000.0;
  std::uint32_t block = 128;
  int rounds = 15;
  double seconds = 1.0;
  std::string filter;
  bool targets = false;
};

// The take in both sample formats, so that neither side pays for a conversion while timed.
struct Take {
  StereoBuffer samples;
  std::vector<float> left;
  std::vector<float> right;

  std::size_t Frames() const { return left.size(); }
  double At(int channel, std::size_t frame) const { return channel == 0 ? samples.left[frame] : samples.right[frame]; }
};

class Processor {
 public:
  virtual ~Processor() = default;
  // Processes `frames` frames of the take from `start`, block by block; returns the seconds the
  // process calls took.
  virtual double Run(std::size_t start, std::size_t frames) = 0;
  virtual std::uint32_t LatencyFrames() const = 0;
  // Frame `frame` of the last run's output.
  virtual double Output(int channel, std::size_t frame) const = 0;
};

double SecondsSince(std::chrono::steady_clock::time_point start) {
  return std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
}

class OurRack : public Processor {
 public:
  OurRack(const tarnwell::dsp::EngineSettings& settings, const Take& take, const Options& options, std::size_t span)
      : settings_(settings), take_(take), block_(options.block), left_(span), right_(span) {
    engine_.Prepare(options.rate);
  }

  double Run(std::size_t start, std::size_t frames) override {
    std::copy_n(take_.samples.left.begin() + static_cast<std::ptrdiff_t>(start), frames, left_.begin());
    std::copy_n(take_.samples.right.begin() + static_cast<std::ptrdiff_t>(start), frames, right_.begin());
    const auto began = std::chrono::steady_clock::now();
    for (std::size_t done = 0; done < frames; done += block_) {
      double* channels[2] = {left_.data() + done, right_.data() + done};
      engine_.Process(channels, 2, static_cast<std::int32_t>(std::min<std::size_t>(block_, frames - done)), settings_);
    }
    return SecondsSince(began);
  }

  std::uint32_t LatencyFrames() const override { return static_cast<std::uint32_t>(engine_.LatencySamples(settings_)); }

  double Output(int channel, std::size_t frame) const override { return channel == 0 ? left_[frame] : right_[frame]; }

 private:
  tarnwell::dsp::RackEngine engine_;
  tarnwell::dsp::EngineSettings settings_;
  const Take& take_;
  std::size_t block_;
  std::vector<double> left_;
  std::vector<double> right_;
};

class PeerChain : public Processor {
 public:
  PeerChain(Lv2World& world, const Peer& peer, const Take& take, const Options& options, std::size_t span)
      : take_(take), block_(options.block) {
    for (const PeerStage& spec : peer.stages) {
      Stage stage;
      const int instances = spec.channels == 1 ? 2 : 1;
      for (int i = 0; i < instances; ++i) {
        stage.instances.push_back(world.Instantiate(spec.uri, spec.channels));
        for (const PeerControl& control : spec.controls) {
          stage.instances.back()->SetControl(control.symbol, control.value);
        }
      }
      stage.left.assign(span, 0.0f);
      stage.right.assign(span, 0.0f);
      stages_.push_back(std::move(stage));
    }
  }

  double Run(std::size_t start, std::size_t frames) override {
    const auto began = std::chrono::steady_clock::now();
    for (std::size_t done = 0; done < frames; done += block_) {
      const auto count = static_cast<std::uint32_t>(std::min<std::size_t>(block_, frames - done));
      const float* in[2] = {take_.left.data() + start + done, take_.right.data() + start + done};
      for (Stage& stage : stages_) {
        float* out[2] = {stage.left.data() + done, stage.right.data() + done};
        if (stage.instances.size() == 1) {
          stage.instances[0]->Run(in, out, count);
        } else {
          for (std::size_t c = 0; c < 2; ++c) {
            stage.instances[c]->Run(&in[c], &out[c], count);
          }
        }
        in[0] = out[0];
        in[1] = out[1];
      }
    }
    return SecondsSince(began);
  }

  std::uint32_t LatencyFrames() const override {
    std::uint32_t total = 0;
    for (const Stage& stage : stages_) {
      std::uint32_t longest = 0;
      for (const auto& instance : stage.instances) {
        longest = std::max(longest, instance->LatencyFrames());
      }
      total += longest;
    }
    return total;
  }

  double Output(int channel, std::size_t frame) const override {
    const Stage& last = stages_.back();
    return channel == 0 ? last.left[frame] : last.right[frame];
  }

 private:
  struct Stage {
    std::vector<std::unique_ptr<Lv2Peer>> instances;
    std::vector<float> left;
    std::vector<float> right;
  };
  const Take& take_;
  std::size_t block_;
  std::vector<Stage> stages_;
};

// What a processor did to the stretch of the take it last ran on.
struct Effect {
  double levelChangeDb;
  double residualDb;
  double gainSpreadDb;
};

double Quantile(std::vector<double> values, double q) {
  if (values.empty()) {
    return NAN;
  }
  std::sort(values.begin(), values.end());
  const double position = q * static_cast<double>(values.size() - 1);
  const auto below = static_cast<std::size_t>(position);
  const std::size_t above = std::min(below + 1, values.size() - 1);
  return values[below] + (position - static_cast<double>(below)) * (values[above] - values[below]);
}

// The reported latency, or where none is reported the delay at which the output correlates best with
// the input.
std::size_t AlignedLatency(const Processor& processor, const Take& take, std::size_t start, std::size_t frames,
                           double rate) {
  if (processor.LatencyFrames() > 0) {
    return processor.LatencyFrames();
  }
  const std::size_t end =
      std::min(frames, kLongestUnreportedLatency + static_cast<std::size_t>(kCorrelationSeconds * rate));
  std::size_t best = 0;
  double bestCorrelation = 0.0;
  for (std::size_t lag = 0; lag <= kLongestUnreportedLatency; ++lag) {
    double correlation = 0.0;
    for (std::size_t i = kLongestUnreportedLatency; i < end; ++i) {
      correlation +=
          processor.Output(0, i) * take.At(0, start + i - lag) + processor.Output(1, i) * take.At(1, start + i - lag);
    }
    if (std::fabs(correlation) > bestCorrelation) {
      bestCorrelation = std::fabs(correlation);
      best = lag;
    }
  }
  return best;
}

Effect Measure(const Processor& processor, const Take& take, std::size_t start, std::size_t frames, double rate) {
  const std::size_t latency = AlignedLatency(processor, take, start, frames, rate);
  const auto window = static_cast<std::size_t>(kGainWindowSeconds * rate);
  double input = 0.0;
  double output = 0.0;
  double product = 0.0;
  std::vector<double> gainsDb;
  for (std::size_t from = latency; from + window <= frames; from += window) {
    double windowIn = 0.0;
    double windowOut = 0.0;
    for (std::size_t i = from; i < from + window; ++i) {
      for (int c = 0; c < 2; ++c) {
        const double in = take.At(c, start + i - latency);
        const double out = processor.Output(c, i);
        product += out * in;
        windowIn += in * in;
        windowOut += out * out;
      }
    }
    input += windowIn;
    output += windowOut;
    if (std::sqrt(windowIn / (2.0 * static_cast<double>(window))) > kGainWindowFloor) {
      gainsDb.push_back(10.0 * std::log10(std::max(windowOut, 1e-30) / windowIn));
    }
  }
  // With g = product / input the best fit, |out - g in|^2 = output - product^2 / input.
  const double residual = output - product * product / std::max(input, 1e-30);
  return {10.0 * std::log10(std::max(output, 1e-30) / std::max(input, 1e-30)),
          10.0 * std::log10(std::max(residual, 1e-30) / std::max(output, 1e-30)),
          Quantile(gainsDb, 0.9) - Quantile(gainsDb, 0.1)};
}

struct Contender {
  std::string label;
  std::unique_ptr<Processor> processor;
  std::vector<double> nsPerFrame;
  Effect effect{};
};

struct Match {
  std::string name;
  Contender ours;
  std::vector<Contender> peers;
  std::vector<std::string> unavailable;

  std::vector<Contender*> All() {
    std::vector<Contender*> all = {&ours};
    for (Contender& peer : peers) {
      all.push_back(&peer);
    }
    return all;
  }
};

bool ParseOptions(int argc, char** argv, Options& options) {
  for (int i = 1; i < argc; ++i) {
    const std::string flag = argv[i];
    if (flag == "--targets") {
      options.targets = true;
      continue;
    }
    if (i + 1 >= argc) {
      std::fprintf(stderr, "%s needs a value\n", flag.c_str());
      return false;
    }
    const char* value = argv[++i];
    char* end = nullptr;
    const double number = std::strtod(value, &end);
    const bool numeric = end != value && *end == '\0' && std::isfinite(number) && number > 0.0;
    if (flag == "--filter") {
      options.filter = value;
    } else if (flag == "--rate" && numeric && number >= 8000.0) {
      options.rate = number;
    } else if (flag == "--block" && numeric && number <= 8192.0) {
      options.block = static_cast<std::uint32_t>(number);
    } else if (flag == "--rounds" && numeric && number <= 10000.0) {
      options.rounds = static_cast<int>(number);
    } else if (flag == "--seconds" && numeric && number <= kTakeSeconds / 2.0) {
      options.seconds = number;
    } else {
      std::fprintf(stderr, "unknown option or bad value: %s %s\n", flag.c_str(), value);
      return false;
    }
  }
  return options.block >= 1 && options.rounds >= 1;
}

void PrintRow(const Contender& contender, const Contender* ours) {
  const double median = Quantile(contender.nsPerFrame, 0.5);
  std::printf("  %-30s %7.1f ns   level %+5.1f dB   residual %6.1f dB   gain spread %4.1f dB", contender.label.c_str(),
              median, contender.effect.levelChangeDb, contender.effect.residualDb, contender.effect.gainSpreadDb);
  if (ours != nullptr) {
    std::vector<double> ratios;
    for (std::size_t r = 0; r < contender.nsPerFrame.size(); ++r) {
      ratios.push_back(ours->nsPerFrame[r] / contender.nsPerFrame[r]);
    }
    std::printf("   ours/peer %5.2f (%4.2f-%4.2f)", Quantile(ratios, 0.5), Quantile(ratios, 0.25),
                Quantile(ratios, 0.75));
  }
  std::printf("\n");
}

}  // namespace

int main(int argc, char** argv) {
  Options options;
  if (!ParseOptions(argc, argv, options)) {
    std::fprintf(stderr,
                 "usage: peer_bench [--rate HZ] [--block FRAMES] [--rounds N] [--seconds S] [--filter TEXT] "
                 "[--targets]\n");
    return 2;
  }
  // Hosts run plug-ins with denormals flushed; ours sets it in every process call anyway.
  const plugkit::ScopedDenormalsOff flush;

  Take take{MakeVocalSignal(options.rate, kTakeSeconds), {}, {}};
  take.left.assign(take.samples.left.begin(), take.samples.left.end());
  take.right.assign(take.samples.right.begin(), take.samples.right.end());
  const auto span = static_cast<std::size_t>(options.seconds * options.rate);
  const auto preRoll = static_cast<std::size_t>(kPreRollSeconds * options.rate);
  const auto measured = static_cast<std::size_t>(kMeasureSeconds * options.rate);
  const std::size_t longestRun = std::max({span, preRoll, measured});

  Lv2World world(options.rate, options.block);
  std::vector<Match> matches;
  for (const PeerPair& pair : options.targets ? TargetPairs() : PeerPairs()) {
    if (!options.filter.empty() && pair.ours.name.find(options.filter) == std::string::npos) {
      continue;
    }
    Match match{pair.ours.name,
                {"ours", std::make_unique<OurRack>(pair.ours.settings, take, options, longestRun), {}, {}},
                {},
                {}};
    for (const Peer& peer : pair.peers) {
      try {
        match.peers.push_back(
            {peer.label, std::make_unique<PeerChain>(world, peer, take, options, longestRun), {}, {}});
      } catch (const std::exception& error) {
        match.unavailable.push_back(peer.label + ": " + error.what());
      }
    }
    matches.push_back(std::move(match));
  }

  for (Match& match : matches) {
    for (Contender* contender : match.All()) {
      contender->processor->Run(0, preRoll);
    }
  }
  const std::size_t stretches = (take.Frames() - preRoll - span) / span + 1;
  for (int round = 0; round < options.rounds; ++round) {
    const std::size_t start = preRoll + (static_cast<std::size_t>(round) % stretches) * span;
    for (Match& match : matches) {
      std::vector<Contender*> order = match.All();
      if (round % 2 == 1) {
        std::reverse(order.begin(), order.end());
      }
      for (Contender* contender : order) {
        const double seconds = contender->processor->Run(start, span);
        contender->nsPerFrame.push_back(seconds * 1e9 / static_cast<double>(span));
      }
    }
  }
  for (Match& match : matches) {
    for (Contender* contender : match.All()) {
      contender->processor->Run(preRoll, measured);
      contender->effect = Measure(*contender->processor, take, preRoll, measured, options.rate);
    }
  }

  std::printf(
      "Ours beside LV2 peers: %.0f Hz, blocks of %u, %d rounds of %.2f s of the vocal take, alternating "
      "ours first and peers first.\n",
      options.rate, options.block, options.rounds, options.seconds);
  std::printf("ns per stereo frame (median of rounds); ours/peer: median of per-round ratios (quartiles).\n");
  std::printf(
      "Over one phrase of the take: level, output against input; residual, what the output holds beyond a\n"
      "fixed gain of the latency-aligned input, against the output; gain spread, 10th to 90th percentile\n"
      "of the 10 ms gain, pause included.\n");
#if defined(__VERSION__)
  std::printf("Built with %s%s.\n", __VERSION__,
#if defined(NDEBUG)
              ", assertions off"
#else
              ", assertions on"
#endif
  );
#endif
  for (const Match& match : matches) {
    std::printf("\n%s\n", match.name.c_str());
    PrintRow(match.ours, nullptr);
    for (const Contender& peer : match.peers) {
      PrintRow(peer, &match.ours);
    }
    for (const std::string& reason : match.unavailable) {
      std::printf("  not run: %s\n", reason.c_str());
    }
  }
  return 0;
}
