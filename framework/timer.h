// Timer: a repeating callback on the thread that started it, driven by that thread's UI
// loop. Every running timer of the module sits in one registry guarded by one recursive
// lock; the callback runs under that lock, so a callback may start, halt or destroy timers
// (itself included) on its own thread while other threads wait.
#pragma once

#include <cstdint>
#include <functional>
#include <memory>

namespace plugkit {

class Timer {
 public:
  using Callback = std::function<void(Timer&)>;

  // Starts a timer calling callback about every intervalMs milliseconds. When the platform
  // cannot make a timer (or the registry cannot grow) the timer is returned all the same,
  // not running: it never fires and Halt does nothing. Null only when memory ran out.
  static std::unique_ptr<Timer> Start(Callback callback, uint32_t intervalMs);

  // Halts the timer first.
  virtual ~Timer() = default;
  // Stops the timer; it never fires again. A second Halt does nothing.
  virtual void Halt() = 0;
};

// The only implementation; separate so that the interface stays free of the registry.
class Timer_impl final : public Timer {
 public:
  Timer_impl(Callback callback, uint32_t intervalMs);
  ~Timer_impl() override;
  Timer_impl(const Timer_impl&) = delete;
  Timer_impl& operator=(const Timer_impl&) = delete;

  void Halt() override;

  bool IsRunning() const { return platformId_ != 0; }
  uint32_t IntervalMs() const { return intervalMs_; }

  // Called by the platform timer with its id; runs the registered timer's callback.
  static void TimerProcedure(uintptr_t platformId) noexcept;

 private:
  friend class Timer;
  // Starts the platform timer and registers this timer.
  void Begin();

  uintptr_t platformId_ = 0;
  // Shared so that a callback that destroys its own timer does not pull the callable out
  // from under the running call.
  std::shared_ptr<Callback> callback_;
  uint32_t intervalMs_;
};

// Number of timers in the module's registry (for tests and diagnostics).
int32_t RunningTimerCount();

}  // namespace plugkit
