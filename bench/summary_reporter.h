#pragma once

#include <benchmark/benchmark.h>

#include <map>
#include <string>
#include <vector>

// What one registered benchmark measures; the reporter turns its time into cost per stereo frame.
struct BenchCase {
  std::string kind;  // "signal" or "silence tail"
  std::string rack;
  double sampleRate;
  int blockSize;
  double framesPerIteration;
};

// Prints one progress line per benchmark to the error stream and, at the end, a table of ns per stereo
// frame and share of one core, then the cost targets. Takes the median when runs are repeated.
class SummaryReporter : public benchmark::BenchmarkReporter {
 public:
  explicit SummaryReporter(const std::map<std::string, BenchCase>& cases) : cases_(cases) {}

  bool ReportContext(const Context& context) override;
  void ReportRuns(const std::vector<Run>& runs) override;
  void Finalize() override;

 private:
  struct Result {
    BenchCase bench;
    double nsPerFrame;
  };

  const Result* Find(const std::string& kind, const std::string& rack, double rate, int block) const;
  void PrintTable(const std::string& kind) const;
  void PrintTargets() const;

  const std::map<std::string, BenchCase>& cases_;
  std::vector<Result> results_;
};
