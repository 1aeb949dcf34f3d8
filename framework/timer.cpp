#include "framework/timer.h"

#include <atomic>
#include <utility>

#include "framework/core/grow_buffer.h"
#include "platform/recursive_lock.h"
#include "platform/ui_timer.h"

namespace plugkit {
namespace {

// A static object: made when the module is loaded and gone when it is unloaded, so it
// outlives every timer of the module's instances.
class TimerRegistry {
 public:
  platform::RecursiveLock& Lock() { return lock_; }

  bool Add(Timer_impl* timer) { return timers_.Append(&timer, static_cast<int32_t>(sizeof(timer))); }

  // Later entries move down one place, so the order of the others is kept.
  void Remove(Timer_impl* timer) {
    Timer_impl** entries = timers_.DataAs<Timer_impl*>();
    const int32_t count = Count();
    for (int32_t i = 0; i < count; ++i) {
      if (entries[i] != timer) continue;
      for (int32_t j = i + 1; j < count; ++j) entries[j - 1] = entries[j];
      timers_.Resize(static_cast<int32_t>((count - 1) * sizeof(Timer_impl*)));
      return;
    }
  }

  Timer_impl* At(int32_t index) { return timers_.DataAs<Timer_impl*>()[index]; }
  int32_t Count() const { return timers_.Count<Timer_impl*>(); }

 private:
  platform::RecursiveLock lock_;
  GrowBuffer timers_{GrowBuffer::kListGranularity};
};

TimerRegistry registry;

// Keys of loop registrations, unique in the module, so that a loop's late call for a timer
// that has moved on finds nothing.
uintptr_t NextLoopKey() {
  static std::atomic<uintptr_t> lastKey{0};
  return ++lastKey;
}

}  // namespace

std::unique_ptr<Timer> Timer::Start(Callback callback, uint32_t intervalMs, TimerLoop* loop) {
  std::unique_ptr<Timer_impl> timer;
  try {
    timer = std::make_unique<Timer_impl>(std::move(callback), intervalMs);
  } catch (const std::bad_alloc&) {
    return nullptr;
  }
  timer->MoveTo(loop);
  return timer;
}

Timer_impl::Timer_impl(Callback callback, uint32_t intervalMs)
    : callback_(std::make_shared<Callback>(std::move(callback))), intervalMs_(intervalMs) {}

Timer_impl::~Timer_impl() { Halt(); }

void Timer_impl::Halt() {
  halted_ = true;
  StopSource(Replace(Source{}));
}

void Timer_impl::MoveTo(TimerLoop* loop) {
  if (halted_ || (IsRunning() && loop == source_.loop)) return;
  // Sources start and stop outside the registry lock: a host's loop may take locks of its
  // own, and the host's UI thread may be waiting for ours in a timer call meanwhile.
  const Source next = StartSource(loop);
  if (next.id == 0 && loop != nullptr) return;
  StopSource(Replace(next));
}

Timer_impl::Source Timer_impl::StartSource(TimerLoop* loop) const {
  if (loop == nullptr) return Source{nullptr, platform::StartUiTimer(intervalMs_, &Timer_impl::TimerProcedure)};
  const uintptr_t key = NextLoopKey();
  return Source{loop, loop->Register(key, intervalMs_, &Timer_impl::LoopProcedure) ? key : 0};
}

void Timer_impl::StopSource(const Source& source) noexcept {
  if (source.id == 0) return;
  if (source.loop != nullptr)
    source.loop->Unregister(source.id);
  else
    platform::KillUiTimer(source.id);
}

Timer_impl::Source Timer_impl::Replace(Source next) {
  platform::LockGuard guard(registry.Lock());
  if (next.id != 0 && !IsRunning() && !registry.Add(this)) return next;
  if (next.id == 0 && IsRunning()) registry.Remove(this);
  return std::exchange(source_, next);
}

void Timer_impl::TimerProcedure(uintptr_t platformId) noexcept { Fire(false, platformId); }

void Timer_impl::LoopProcedure(uintptr_t key) noexcept { Fire(true, key); }

void Timer_impl::Fire(bool fromLoop, uintptr_t id) noexcept {
  platform::LockGuard guard(registry.Lock());
  for (int32_t i = 0; i < registry.Count(); ++i) {
    Timer_impl* timer = registry.At(i);
    if (timer->source_.id != id || (timer->source_.loop != nullptr) != fromLoop) continue;
    std::shared_ptr<Callback> callback = timer->callback_;
    try {
      if (*callback) (*callback)(*timer);
    } catch (...) {
      // An exception must not unwind into the platform's message dispatch or the host's loop.
    }
    return;
  }
}

int32_t RunningTimerCount() {
  platform::LockGuard guard(registry.Lock());
  return registry.Count();
}

}  // namespace plugkit
