#include "summary_reporter.h"

#include <algorithm>
#include <cstdio>
#include <ostream>
#include <utility>

namespace {

constexpr double kTargetRate = 48000.0;
constexpr int kTargetBlock = 128;
constexpr double kSmallBlockTargetRatio = 1.3;
constexpr double kSilenceTailTargetRatio = 0.2;

struct CostTarget {
  const char* rack;
  double nsPerFrame;
};
constexpr CostTarget kCostTargets[] = {
    // 2 % of one core at 48 kHz.
    {"vocal chain", 416.7},
    {"vocal chain with colour and space", 420.0},
    {"worst case", 650.0},
};

std::string BuildDescription() {
  std::string text = std::string("build ") + RACK_BENCH_BUILD_TYPE;
#if defined(__clang__)
  text += ", clang " __clang_version__;
#elif defined(__GNUC__)
  text += ", GCC " __VERSION__;
#endif
#if defined(NDEBUG)
  text += ", assertions off";
#else
  text += ", assertions on";
#endif
#if defined(__SANITIZE_ADDRESS__)
  text += ", AddressSanitizer";
#endif
#if defined(__AVX__)
  text += ", AVX";
#else
  text += ", SSE2 baseline";
#endif
#if defined(__FAST_MATH__)
  text += ", fast-math";
#endif
  const std::string commit = RACK_BENCH_COMMIT;
  return text + (commit.empty() ? std::string() : ", configured at commit " + commit);
}

double CorePercent(double nsPerFrame, double sampleRate) { return nsPerFrame * sampleRate * 1e-9 * 100.0; }

std::string Format(const char* format, double a, double b = 0.0, double c = 0.0) {
  char text[160];
  std::snprintf(text, sizeof text, format, a, b, c);
  return text;
}

}  // namespace

bool SummaryReporter::ReportContext(const Context& context) {
  PrintBasicContext(&GetErrorStream(), context);
  GetErrorStream() << "Rack benchmark " << BuildDescription() << "\n";
  return true;
}

void SummaryReporter::ReportRuns(const std::vector<Run>& runs) {
  for (const Run& run : runs) {
    const bool usable = run.run_type == Run::RT_Aggregate ? run.aggregate_name == "median" : run.repetitions <= 1;
    if (!usable || run.error_occurred) {
      continue;
    }
    const auto found = cases_.find(run.run_name.function_name);
    if (found == cases_.end()) {
      continue;
    }
    const double seconds = run.GetAdjustedRealTime() / benchmark::GetTimeUnitMultiplier(run.time_unit);
    const Result result{found->second, seconds * 1e9 / found->second.framesPerIteration};
    results_.push_back(result);
    GetErrorStream() << run.run_name.function_name << Format(": %.1f ns/frame\n", result.nsPerFrame);
  }
}

const SummaryReporter::Result* SummaryReporter::Find(const std::string& kind, const std::string& rack, double rate,
                                                     int block) const {
  for (const Result& r : results_) {
    if (r.bench.kind == kind && r.bench.rack == rack && r.bench.sampleRate == rate && r.bench.blockSize == block) {
      return &r;
    }
  }
  return nullptr;
}

void SummaryReporter::PrintTable(const std::string& kind) const {
  std::vector<std::string> racks;
  std::vector<double> rates;
  std::vector<int> blocks;
  for (const Result& r : results_) {
    if (r.bench.kind != kind) {
      continue;
    }
    if (std::find(racks.begin(), racks.end(), r.bench.rack) == racks.end()) {
      racks.push_back(r.bench.rack);
    }
    if (std::find(rates.begin(), rates.end(), r.bench.sampleRate) == rates.end()) {
      rates.push_back(r.bench.sampleRate);
    }
    if (std::find(blocks.begin(), blocks.end(), r.bench.blockSize) == blocks.end()) {
      blocks.push_back(r.bench.blockSize);
    }
  }
  if (racks.empty()) {
    return;
  }
  std::sort(rates.begin(), rates.end());
  std::sort(blocks.begin(), blocks.end());

  std::ostream& out = GetOutputStream();
  out << "\n" << kind << ": ns per stereo frame and share of one core\n";
  out << std::string(31, ' ');
  for (int block : blocks) {
    out << Format("  block %-4.0f         ", block);
  }
  out << "\n"
      << "rack                      rate";
  for (std::size_t b = 0; b < blocks.size(); ++b) {
    out << "   ns/frame   core %";
  }
  out << "\n";
  for (const std::string& rack : racks) {
    for (double rate : rates) {
      char label[64];
      std::snprintf(label, sizeof label, "%-22s %7.0f ", rack.c_str(), rate);
      out << label;
      for (int block : blocks) {
        const Result* r = Find(kind, rack, rate, block);
        out << (r != nullptr ? Format("  %9.1f  %6.3f %%", r->nsPerFrame, CorePercent(r->nsPerFrame, rate))
                             : std::string("          -        -  "));
      }
      out << "\n";
    }
  }
}

void SummaryReporter::PrintTargets() const {
  std::ostream& out = GetOutputStream();
  out << "\nTargets (reported, not asserted; " << BuildDescription() << "):\n";
  for (const CostTarget& target : kCostTargets) {
    const std::string rack = target.rack;
    const Result* r = Find("signal", rack, kTargetRate, kTargetBlock);
    if (r != nullptr) {
      out << "  " << rack << " at 48 kHz, block 128: "
          << Format("%.1f ns per stereo frame, %.3f %% of one core (target <= %.0f ns)", r->nsPerFrame,
                    CorePercent(r->nsPerFrame, kTargetRate), target.nsPerFrame)
          << (r->nsPerFrame <= target.nsPerFrame ? "\n" : "  <-- over target\n");
    }
    const Result* small = Find("signal", rack, kTargetRate, 32);
    const Result* large = Find("signal", rack, kTargetRate, 512);
    if (small != nullptr && large != nullptr && large->nsPerFrame > 0.0) {
      out << "  " << rack << " at 48 kHz, block 32 against block 512: "
          << Format("%.2f times the cost per frame (target <= %.1f)\n", small->nsPerFrame / large->nsPerFrame,
                    kSmallBlockTargetRatio);
    }
  }

  const Result* worstTail = nullptr;
  double worstRatio = 0.0;
  for (const Result& tail : results_) {
    const Result* signal = Find("signal", tail.bench.rack, tail.bench.sampleRate, tail.bench.blockSize);
    if (tail.bench.kind == "silence tail" && signal != nullptr && signal->nsPerFrame > 0.0 &&
        tail.nsPerFrame / signal->nsPerFrame > worstRatio) {
      worstRatio = tail.nsPerFrame / signal->nsPerFrame;
      worstTail = &tail;
    }
  }
  if (worstTail != nullptr) {
    out << "  silence tail against signal, highest: " << Format("%.2f", worstRatio) << " (" << worstTail->bench.rack
        << Format(" at %.0f Hz, block %.0f; target < %.1f)\n", worstTail->bench.sampleRate, worstTail->bench.blockSize,
                  kSilenceTailTargetRatio);
  }
}

void SummaryReporter::Finalize() {
  PrintTable("signal");
  PrintTable("silence tail");
  PrintTargets();
}
