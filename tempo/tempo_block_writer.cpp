#include "tempo/tempo_block_writer.h"

#include <cstring>
#include <utility>

#include "platform/performance_clock.h"
#include "platform/process_id.h"

TempoBlockWriter::TempoBlockWriter(const char* name) noexcept {
  // A name that does not fit stays empty, which no mapping accepts.
  if (name != nullptr && std::strlen(name) < name_.size()) std::strcpy(name_.data(), name);
}

bool TempoBlockWriter::CreateTempoBlock() noexcept {
  if (view_.load(std::memory_order_acquire) != nullptr) return true;
  plugkit::platform::SharedMemory memory;
  if (!memory.CreateOrOpen(name_.data(), sizeof(TempoBlock))) return false;
  auto* block = static_cast<TempoBlock*>(memory.Data());
  if (LoadTempoField(block->magic) != kTempoBlockMagic) {
    // A stale or foreign record: start from zeros, sequence included.
    StoreTempoField(block->sequence, 0u);
    StoreTempoField(block->version, 0u);
    StoreTempoField(block->bpm, 0.0f);
    StoreTempoField(block->confidence, 0.0f);
    StoreTempoField(block->reserved0, 0u);
    StoreTempoField(block->timestampMs, int64_t{0});
    StoreTempoField(block->writerPid, 0u);
    StoreTempoField(block->reserved1, 0u);
  }
  StoreTempoField(block->magic, kTempoBlockMagic);
  StoreTempoField(block->version, kTempoBlockVersion, std::memory_order_release);
  writerPid_ = plugkit::platform::CurrentProcessId();
  memory_ = std::move(memory);
  view_.store(block, std::memory_order_release);
  return true;
}

void TempoBlockWriter::WriteTempoBlock(float bpm, float confidence) noexcept {
  TempoBlock* block = view_.load(std::memory_order_acquire);
  if (block == nullptr) return;
  // Continue from the even value at or below the one found: a writer that collided with
  // another, or died mid-update, must not leave every later record looking busy.
  const uint32_t base = LoadTempoField(block->sequence) & ~1u;
  StoreTempoField(block->sequence, base + 1);
  // Keeps the field stores below after the odd sequence.
  std::atomic_thread_fence(std::memory_order_release);
  StoreTempoField(block->bpm, bpm);
  StoreTempoField(block->confidence, confidence);
  StoreTempoField(block->timestampMs, plugkit::platform::PerformanceClockNowMs());
  StoreTempoField(block->writerPid, writerPid_);
  StoreTempoField(block->sequence, base + 2, std::memory_order_release);
}

void TempoBlockWriter::CloseTempoBlock() noexcept {
  view_.store(nullptr, std::memory_order_release);
  memory_.Close();
}
