#include "summary_reporter.h"

#include <algorithm>
#include <cstdio>
#include <ostream>
#include <utility>

namespace {

constexpr double kTargetRate = 48000.0;
constexpr int kTargetBlock = 128;
constexpr double kVocalChainTargetPercent = 2.0;
constexpr double kWorstCaseTargetPercent = 8.0;
constexpr double kSmallBlockTargetRatio = 1.3;
constexpr double kSilenceTailTargetRatio = 1.1;

double CorePercent(double nsPerFrame, double sampleRate) {
    return nsPerFrame * sampleRate * 1e-9 * 100.0;
}

std::string Format(const char* format, double a, double b = 0.0, double c = 0.0) {
    char text[160];
    std::snprintf(text, sizeof text, format, a, b, c);
    return text;
}

}  // namespace

bool SummaryReporter::ReportContext(const Context& context) {
    PrintBasicContext(&GetErrorStream(), context);
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
        GetErrorStream() << run.run_name.function_name
                         << Format(": %.1f ns/frame\n", result.nsPerFrame);
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
    out << "\n" << "rack                      rate";
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
    out << "\nTargets (reported, not asserted):\n";
    for (const auto& [rack, limit] : {std::pair{"vocal chain", kVocalChainTargetPercent},
                                      std::pair{"worst case", kWorstCaseTargetPercent}}) {
        const Result* r = Find("signal", rack, kTargetRate, kTargetBlock);
        if (r != nullptr) {
            const double percent = CorePercent(r->nsPerFrame, kTargetRate);
            out << "  " << rack << " at 48 kHz, block 128: "
                << Format("%.3f %% of one core (target < %.0f %%)", percent, limit)
                << (percent < limit ? "\n" : "  <-- over target\n");
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
            << Format(" at %.0f Hz, block %.0f; target <= %.1f)\n", worstTail->bench.sampleRate,
                      worstTail->bench.blockSize, kSilenceTailTargetRatio);
    }
}

void SummaryReporter::Finalize() {
    PrintTable("signal");
    PrintTable("silence tail");
    PrintTargets();
}
