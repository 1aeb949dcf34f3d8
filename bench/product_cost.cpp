// Cost of every block and of the three plug-ins' process calls, timed without Google Benchmark so
// that the Windows build can run it under Wine beside the native build (scripts/cost-by-build.sh
// alternates the two and prints them side by side).
//   product_cost [--rate HZ] [--block FRAMES] [--seconds S] [--passes N] [--bundles FOLDER] [--case NAME]
// Prints one line per case (or only the named one, for an instruction count under callgrind): "block" or "plug-in", the case's name and nanoseconds per stereo
// frame, separated by tabs; a block is alone in the rack at amount 0.5 on the vocal-like signal.
// The plug-in cases run only with --bundles, the folder that holds the built .vst3 bundles.
#include <cstdio>
#include <cstdlib>
#include <string>

#include "block_cost.h"
#include "plugin_cost.h"
#include "rack_configs.h"

namespace {

int Usage() {
  std::fprintf(stderr,
               "usage: product_cost [--rate HZ] [--block FRAMES] [--seconds S] [--passes N] [--bundles FOLDER] "
               "[--case NAME]\n");
  return 2;
}

bool ReadNumber(const char* text, double low, double high, double* value) {
  char* end = nullptr;
  const double read = std::strtod(text, &end);
  if (end == text || *end != '\0' || !(read >= low && read <= high)) {
    return false;
  }
  *value = read;
  return true;
}

bool EndsWith(const std::string& text, const std::string& end) {
  return text.size() >= end.size() && text.compare(text.size() - end.size(), end.size(), end) == 0;
}

}  // namespace

int main(int argc, char** argv) {
  CostRun run;
  std::string bundles;
  std::string only;
  for (int i = 1; i < argc; ++i) {
    const std::string option = argv[i];
    if (i + 1 >= argc) {
      return Usage();
    }
    const char* value = argv[++i];
    double number = 0.0;
    if (option == "--bundles") {
      bundles = value;
    } else if (option == "--case") {
      only = value;
    } else if (!ReadNumber(value, 1.0, 768000.0, &number)) {
      return Usage();
    } else if (option == "--rate" && number >= 8000.0) {
      run.sampleRate = number;
    } else if (option == "--block" && number <= 8192.0) {
      run.blockSize = static_cast<int>(number);
    } else if (option == "--seconds" && number <= 600.0) {
      run.seconds = number;
    } else if (option == "--passes" && number <= 100.0) {
      run.passes = static_cast<int>(number);
    } else {
      return Usage();
    }
  }

  for (const RackConfig& rack : BenchmarkRacks()) {
    if (!EndsWith(rack.name, " 0.5")) {
      continue;
    }
    const std::string block = rack.name.substr(0, rack.name.size() - 4);
    if (only.empty() || only == block) {
      std::printf("block\t%s\t%.2f\n", block.c_str(), RackNanosecondsPerFrame(rack.settings, run));
      std::fflush(stdout);
    }
  }
  if (bundles.empty()) {
    return 0;
  }
  int failures = 0;
  for (PluginCase which : {PluginCase::TarnwellPresent, PluginCase::Tempo, PluginCase::Duck}) {
    if (!only.empty() && only != PluginCaseName(which)) {
      continue;
    }
    double ns = 0.0;
    std::string error;
    if (PluginNanosecondsPerFrame(which, bundles, run, &ns, &error)) {
      std::printf("plug-in\t%s\t%.2f\n", PluginCaseName(which), ns);
      std::fflush(stdout);
    } else {
      std::fprintf(stderr, "%s: %s\n", PluginCaseName(which), error.c_str());
      ++failures;
    }
  }
  return failures == 0 ? 0 : 1;
}
