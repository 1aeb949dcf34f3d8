// The other process of the cross-process tempo block tests. Modes:
//   writer NAME SECONDS [INTERVAL_US]  writes paired updates for SECONDS (0 us: a tight loop)
//   collide NAME START_MS SECONDS      waits for the clock to reach START_MS, then writes in a
//                                      tight loop, so that two of them overlap
//   reader NAME BPM CONFIDENCE PID     reads the block once and checks it against these
//   hold NAME MILLISECONDS [BPM]       creates the block (writes BPM once), keeps it mapped
//   inspect NAME                       prints the record; the exit code tells its state
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <thread>

#include "platform/performance_clock.h"
#include "platform/shared_memory.h"
#include "tempo/tempo_block_pairs.h"
#include "tempo/tempo_block_writer.h"

namespace {

using namespace tarnwell::test;
using plugkit::platform::PerformanceClockNowMs;

int WriteFor(const char* name, int64_t untilMs, long intervalUs) {
  TempoBlockWriter writer(name);
  if (!writer.CreateTempoBlock()) return kPeerNoBlock;
  for (uint32_t update = 1; PerformanceClockNowMs() < untilMs; ++update) {
    const float bpm = PeerBpm(update);
    writer.WriteTempoBlock(bpm, PairedConfidence(bpm));
    if (intervalUs > 0) std::this_thread::sleep_for(std::chrono::microseconds(intervalUs));
  }
  return kPeerOk;
}

int Read(const char* name, float bpm, float confidence, uint32_t pid) {
  plugkit::platform::SharedMemory memory;
  if (!memory.OpenReadOnly(name, sizeof(TempoBlock))) return kPeerNoBlock;
  const auto& block = *static_cast<const TempoBlock*>(memory.Data());
  TempoBlockReading reading{};
  for (int attempt = 0; !TryReadTempoBlock(block, &reading); ++attempt)
    if (attempt > 1000) return kPeerOddSequence;
  const int64_t age = PerformanceClockNowMs() - reading.timestampMs;
  std::printf("bpm %g confidence %g pid %u age %lld ms\n", reading.bpm, reading.confidence, reading.writerPid,
              static_cast<long long>(age));
  if (reading.magic != kTempoBlockMagic || reading.version != kTempoBlockVersion) return kPeerBadMagic;
  if (reading.bpm != bpm || reading.confidence != confidence || reading.writerPid != pid) return kPeerMismatch;
  return age >= 0 && age < 2000 ? kPeerOk : kPeerStale;
}

int Hold(const char* name, long ms, const char* bpmText) {
  TempoBlockWriter writer(name);
  if (!writer.CreateTempoBlock()) return kPeerNoBlock;
  if (bpmText != nullptr) {
    const float bpm = std::strtof(bpmText, nullptr);
    writer.WriteTempoBlock(bpm, PairedConfidence(bpm));
  }
  std::this_thread::sleep_for(std::chrono::milliseconds(ms));
  return kPeerOk;
}

int Inspect(const char* name) {
  plugkit::platform::SharedMemory memory;
  if (!memory.OpenReadOnly(name, sizeof(TempoBlock))) return kPeerNoBlock;
  const auto& block = *static_cast<const TempoBlock*>(memory.Data());
  const uint32_t sequence = LoadTempoField(block.sequence);
  std::printf("sequence %u magic %08x version %u bpm %g confidence %g time %lld pid %u\n", sequence,
              LoadTempoField(block.magic), LoadTempoField(block.version), LoadTempoField(block.bpm),
              LoadTempoField(block.confidence), static_cast<long long>(LoadTempoField(block.timestampMs)),
              LoadTempoField(block.writerPid));
  if (LoadTempoField(block.magic) != kTempoBlockMagic) return kPeerBadMagic;
  return (sequence & 1u) != 0 ? kPeerOddSequence : kPeerOk;
}

}  // namespace

int main(int argc, char** argv) {
  const std::string mode = argc > 1 ? argv[1] : "";
  if (argc < 3) return kPeerUsage;
  const char* name = argv[2];
  if (mode == "writer" && argc >= 4)
    return WriteFor(name, PerformanceClockNowMs() + static_cast<int64_t>(std::atof(argv[3]) * 1000),
                    argc >= 5 ? std::atol(argv[4]) : 1000);
  if (mode == "collide" && argc >= 5) {
    const int64_t start = std::atoll(argv[3]);
    while (PerformanceClockNowMs() < start) std::this_thread::yield();
    return WriteFor(name, start + static_cast<int64_t>(std::atof(argv[4]) * 1000), 0);
  }
  if (mode == "reader" && argc >= 6)
    return Read(name, std::strtof(argv[3], nullptr), std::strtof(argv[4], nullptr),
                static_cast<uint32_t>(std::strtoul(argv[5], nullptr, 10)));
  if (mode == "hold" && argc >= 4) return Hold(name, std::atol(argv[3]), argc >= 5 ? argv[4] : nullptr);
  if (mode == "inspect") return Inspect(name);
  return kPeerUsage;
}
