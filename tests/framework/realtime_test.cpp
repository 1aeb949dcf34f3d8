// What the audio thread calls must not allocate: every operator new (counted by the
// executable's replacement) and every framework container growth (counted through the
// GrowBuffer reallocation seam) is counted while a guard is armed.
#include <gtest/gtest.h>

#include <atomic>
#include <cstdlib>
#include <memory>
#include <vector>

#include "framework/core/grow_buffer.h"
#include "framework/core/midi_message.h"
#include "framework/core/ring_queue.h"
#include "framework/core/sysex_message.h"
#include "rack/dsp/allocation_counter.h"
#include "test_processor.h"

namespace plugkit {
namespace {

std::atomic<int> growths{0};
std::atomic<bool> growthsArmed{false};

void* CountingRealloc(void* block, std::size_t bytes) {
  if (growthsArmed.load()) ++growths;
  return std::realloc(block, bytes);
}

// Arms both counters for its lifetime.
class NoAllocationGuard {
 public:
  NoAllocationGuard() : previous_(SetGrowBufferReallocForTesting(&CountingRealloc)) {
    growths.store(0);
    growthsArmed.store(true);
  }
  ~NoAllocationGuard() {
    growthsArmed.store(false);
    SetGrowBufferReallocForTesting(previous_);
  }
  int64_t Allocations() const { return news_.Count() + growths.load(); }

 private:
  GrowBufferReallocFunction previous_;
  ScopedAllocationCounter news_;
};

TEST(Realtime, TheGuardSeesBothKindsOfAllocation) {
  static void* volatile escape = nullptr;
  {
    NoAllocationGuard guard;
    auto object = std::make_unique<int>(1);
    escape = object.get();
    EXPECT_EQ(guard.Allocations(), 1);
  }
  NoAllocationGuard guard;
  GrowBuffer buffer;
  buffer.Resize(64);
  EXPECT_EQ(guard.Allocations(), 1);
  EXPECT_NE(escape, nullptr);
}

TEST(Realtime, ProcessorBlockPathsNeverAllocate) {
  testing::TestProcessor p("2.2-2", 4);
  p.SetBlockSize(32);
  p.ReserveLatencyDelay(64);
  p.ResetLatencyDelay();
  std::vector<double> in(100, 0.5), out(100);
  std::vector<float> in32(100, 0.5f), out32(100);
  double* inputs[] = {in.data(), in.data(), in.data(), in.data()};
  double* outputs[] = {out.data(), out.data()};
  float* inputs32[] = {in32.data(), in32.data(), in32.data(), in32.data()};
  float* outputs32[] = {out32.data(), out32.data()};

  NoAllocationGuard guard;
  for (int block = 0; block < 4; ++block) {
    testing::ConnectAll(p);
    p.SetChannelConnections(BusDirection::Input, 2, 2, false);
    p.AttachBuffers(BusDirection::Input, 0, 4, inputs);
    p.AttachBuffers(BusDirection::Output, 0, 2, outputs);
    p.ProcessBuffers(100);  // more frames than the block size
    testing::ConnectAll(p);
    p.AttachBuffers32(BusDirection::Input, 0, 4, inputs32);
    p.AttachBuffers32(BusDirection::Output, 0, 2, outputs32);
    p.SetLatencySamples(block * 10);  // adopted by the next block, on this thread
    p.PassThroughBuffers(100);
  }
  EXPECT_EQ(guard.Allocations(), 0);
  EXPECT_GT(p.renderCalls, 0);
}

TEST(Realtime, RingsNeverAllocate) {
  RingQueue<MidiMessage> midi(32);
  RingQueue<SysExRecord> sysex(4);
  const uint8_t bytes[] = {0xF0, 1, 2, 0xF7};
  NoAllocationGuard guard;
  MidiMessage message;
  SysExRecord record;
  for (int i = 0; i < 100; ++i) {
    midi.Push(MidiMessage{i, 0x90, 60, 1});
    if (MakeSysExRecord(SysExMessage{i, 4, bytes}, record)) sysex.Push(record);
    if (i % 3 == 0) {
      midi.Pop(message);
      sysex.Pop(record);
    }
  }
  EXPECT_EQ(guard.Allocations(), 0);
  EXPECT_GT(midi.ElementsAvailable(), 0);
}

}  // namespace
}  // namespace plugkit
