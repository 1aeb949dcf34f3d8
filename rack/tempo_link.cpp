#include "rack/tempo_link.h"

#include "rack/tempo_block_read.h"

namespace tarnwell {

TempoLink::TempoLink(std::unique_ptr<TempoBlockSource> source) noexcept : source_(std::move(source)) {}

TempoLink::~TempoLink() { Unmap(); }

bool TempoLink::Map() noexcept {
  if (IsMapped()) return true;
  if (source_ == nullptr || mapping_.exchange(true, std::memory_order_acquire)) return false;
  // Looked at again under the flag: another thread may have mapped since the first look.
  if (!IsMapped()) {
    if (const unsigned char* view = source_->Open()) view_.store(view, std::memory_order_release);
  }
  mapping_.store(false, std::memory_order_release);
  return IsMapped();
}

void TempoLink::Unmap() noexcept {
  const unsigned char* view = view_.exchange(nullptr, std::memory_order_acq_rel);
  if (view != nullptr) source_->Close(view);
}

bool TempoLink::CountDown(int32_t period) noexcept {
  if (retryCountdown_.fetch_sub(1, std::memory_order_relaxed) - 1 > 0) return false;
  retryCountdown_.store(period, std::memory_order_relaxed);
  return true;
}

double TempoLink::FollowTempo(double hostTempoBpm, bool mayMap) noexcept {
  if (!IsMapped() && CountDown(kSnapshotRetryPeriod)) {
    if (mayMap)
      Map();
    else
      retryAsked_.store(true, std::memory_order_relaxed);
  }
  const unsigned char* view = view_.load(std::memory_order_acquire);
  if (view != nullptr) {
    if (const auto bpm =
            ReadFollowedTempo(MappedTempoBlock(*reinterpret_cast<const TempoBlock*>(view)), source_->NowMs())) {
      linkedTempoBpm_.store(*bpm, std::memory_order_relaxed);
      linked_.store(1, std::memory_order_relaxed);
      return *bpm;
    }
  }
  linked_.store(0, std::memory_order_relaxed);
  return hostTempoBpm;
}

void TempoLink::IdleRetry() noexcept {
  if (IsMapped()) return;
  const bool asked = retryAsked_.exchange(false, std::memory_order_relaxed);
  if (CountDown(kIdleRetryPeriod) || asked) Map();
}

}  // namespace tarnwell
