// The writer side of the tempo block (tempo_block.h), owned by one TarnwellTempo instance.
// CreateTempoBlock and CloseTempoBlock run on the UI thread, WriteTempoBlock on the audio
// thread, possibly while CreateTempoBlock is still running.
#pragma once

#include <array>
#include <atomic>
#include <cstdint>

#include "platform/shared_memory.h"
#include "tempo/tempo_block.h"

class TempoBlockWriter {
 public:
  // Tests give a name of their own; every plug-in uses kTempoBlockName.
  explicit TempoBlockWriter(const char* name = kTempoBlockName) noexcept;
  ~TempoBlockWriter() { CloseTempoBlock(); }
  TempoBlockWriter(const TempoBlockWriter&) = delete;
  TempoBlockWriter& operator=(const TempoBlockWriter&) = delete;

  // Creates or opens the block and prepares it (a record without the magic is zeroed; a valid
  // one keeps its contents). True at once when already mapped; false leaves nothing mapped.
  bool CreateTempoBlock() noexcept;
  // Publishes one update; does nothing while unmapped. No allocation, lock or exception.
  void WriteTempoBlock(float bpm, float confidence) noexcept;
  void CloseTempoBlock() noexcept;

  bool IsMapped() const noexcept { return view_.load(std::memory_order_acquire) != nullptr; }
  const TempoBlock* View() const noexcept { return view_.load(std::memory_order_acquire); }

 private:
  // Published only once the record is prepared, so the audio thread sees none or a ready one.
  std::atomic<TempoBlock*> view_{nullptr};
  uint32_t writerPid_ = 0;
  plugkit::platform::SharedMemory memory_;
  std::array<char, plugkit::platform::kMaxSharedMemoryName + 1> name_{};
};
