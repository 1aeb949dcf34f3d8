// The plug-in's side of the tempo block: the read-only mapping, the retry countdown that the
// audio thread's snapshots and the UI thread's idle ticks share, and the followed tempo that
// the idle hook reports to the page.
//
// Threads: mapping is a system call, so it runs only where the caller allows one (the UI
// thread); the audio thread's countdown only asks for a retry, which the next idle tick
// carries out. One thread maps at a time (a flag taken by exchange), and the view is
// published with release order, so a reader sees either no block or a mapped one.
#pragma once

#include <atomic>
#include <cstdint>
#include <memory>

#include "rack/tempo_block_source.h"

namespace tarnwell {

class TempoLink {
 public:
  static constexpr int32_t kSnapshotRetryPeriod = 200;
  static constexpr int32_t kIdleRetryPeriod = 60;

  explicit TempoLink(std::unique_ptr<TempoBlockSource> source) noexcept;
  ~TempoLink();
  TempoLink(const TempoLink&) = delete;
  TempoLink& operator=(const TempoLink&) = delete;

  // True when a view is held afterwards. UI thread; false at once while another thread maps.
  bool Map() noexcept;
  // Only while no other thread uses the link (destruction).
  void Unmap() noexcept;
  bool IsMapped() const noexcept { return view_.load(std::memory_order_acquire) != nullptr; }

  // One snapshot's part (any thread, no allocation): counts down the retry while no block is
  // held (mapping at once where mayMap, else asking the idle tick), then reads the block.
  // Returns the tempo to use: the block's when it is followed, else hostTempoBpm.
  double FollowTempo(double hostTempoBpm, bool mayMap) noexcept;
  // The idle tick's retry (UI thread): counts down while no block is held, and maps when the
  // count ran out or a snapshot asked for it.
  void IdleRetry() noexcept;

  // The last tempo taken from the block (kept when the link drops) and whether it is followed
  // now; each an atomic 32-bit value.
  float LinkedTempoBpm() const noexcept { return linkedTempoBpm_.load(std::memory_order_relaxed); }
  bool Linked() const noexcept { return linked_.load(std::memory_order_relaxed) != 0; }
  int32_t RetryCountdown() const noexcept { return retryCountdown_.load(std::memory_order_relaxed); }

 private:
  // True when the count ran out; it then starts again from period.
  bool CountDown(int32_t period) noexcept;

  std::unique_ptr<TempoBlockSource> source_;
  std::atomic<const unsigned char*> view_{nullptr};
  std::atomic<bool> mapping_{false};
  std::atomic<bool> retryAsked_{false};
  std::atomic<int32_t> retryCountdown_{0};
  std::atomic<float> linkedTempoBpm_{0.0f};
  std::atomic<int32_t> linked_{0};

  static_assert(std::atomic<float>::is_always_lock_free && std::atomic<const unsigned char*>::is_always_lock_free);
};

}  // namespace tarnwell
