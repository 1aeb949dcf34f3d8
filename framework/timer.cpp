#include "framework/timer.h"

#include <utility>

#include "framework/grow_buffer.h"
#include "platform/recursive_lock.h"
#include "platform/ui_timer.h"

namespace plugkit {
namespace {

// A static object: made when the module is loaded and gone when it is unloaded, so it
// outlives every timer of the module's instances.
class TimerRegistry {
 public:
  platform::RecursiveLock& Lock() { return lock_; }

  bool Add(Timer_impl* timer) {
    return timers_.Append(&timer, static_cast<int32_t>(sizeof(timer)));
  }

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

}  // namespace

std::unique_ptr<Timer> Timer::Start(Callback callback, uint32_t intervalMs) {
  std::unique_ptr<Timer_impl> timer;
  try {
    timer = std::make_unique<Timer_impl>(std::move(callback), intervalMs);
  } catch (const std::bad_alloc&) {
    return nullptr;
  }
  timer->Begin();
  return timer;
}

Timer_impl::Timer_impl(Callback callback, uint32_t intervalMs)
    : callback_(std::make_shared<Callback>(std::move(callback))), intervalMs_(intervalMs) {}

void Timer_impl::Begin() {
  if (platformId_ != 0) return;
  const platform::UiTimerId id = platform::StartUiTimer(intervalMs_, &Timer_impl::TimerProcedure);
  if (id == 0) return;
  platform::LockGuard guard(registry.Lock());
  if (!registry.Add(this)) {
    platform::KillUiTimer(id);
    return;
  }
  platformId_ = id;
}

Timer_impl::~Timer_impl() { Halt(); }

void Timer_impl::Halt() {
  if (platformId_ == 0) return;
  platform::KillUiTimer(platformId_);
  platform::LockGuard guard(registry.Lock());
  registry.Remove(this);
  platformId_ = 0;
}

void Timer_impl::TimerProcedure(uintptr_t platformId) noexcept {
  platform::LockGuard guard(registry.Lock());
  for (int32_t i = 0; i < registry.Count(); ++i) {
    Timer_impl* timer = registry.At(i);
    if (timer->platformId_ != platformId) continue;
    std::shared_ptr<Callback> callback = timer->callback_;
    try {
      if (*callback) (*callback)(*timer);
    } catch (...) {
      // An exception must not unwind into the platform's message dispatch (and the host).
    }
    return;
  }
}

int32_t RunningTimerCount() {
  platform::LockGuard guard(registry.Lock());
  return registry.Count();
}

}  // namespace plugkit
