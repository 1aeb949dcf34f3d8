// Timer: a repeating callback driven either by the UI loop of the thread that started it (the
// platform's timers) or by a loop the host runs and offers to the plug-in (TimerLoop). Every
// running timer of the module sits in one registry guarded by one recursive lock; the callback
// runs under that lock, so a callback may start, halt or destroy timers (itself included) on
// its own thread while other threads wait.
#pragma once

#include <cstdint>
#include <functional>
#include <memory>

#include "platform/ui_timer.h"

namespace plugkit {

// A loop of the host's that calls timers back on its UI thread, in place of the platform's
// timers (on Linux the host's run loop: the module's own timers reach no loop of a host).
// Register and Unregister come from the thread that moves or halts the timer.
class TimerLoop {
 public:
  virtual ~TimerLoop() = default;
  // Has the host call procedure(key) about every intervalMs until Unregister. False when the
  // host refused (or memory ran out); nothing is then registered.
  virtual bool Register(uintptr_t key, uint32_t intervalMs, platform::UiTimerProcedure procedure) noexcept = 0;
  // Harmless for a key not registered.
  virtual void Unregister(uintptr_t key) noexcept = 0;
};

class Timer {
 public:
  using Callback = std::function<void(Timer&)>;

  // Starts a timer calling callback about every intervalMs milliseconds, from loop when one
  // is given and from the platform's timers otherwise. When that cannot make a timer (or the
  // registry cannot grow) the timer is returned all the same, not running: it fires only once
  // moved onto a loop that takes it. Null only when memory ran out.
  static std::unique_ptr<Timer> Start(Callback callback, uint32_t intervalMs, TimerLoop* loop = nullptr);

  // Halts the timer first.
  virtual ~Timer() = default;
  // Stops the timer; it never fires again. A second Halt does nothing.
  virtual void Halt() = 0;
  // Moves the timer onto loop, or back onto the platform's timers for null; the next firing
  // comes a full interval later. A loop that refuses leaves the timer where it was; leaving a
  // loop always unregisters from it, so the loop may go once this returns. A halted timer
  // stays halted.
  virtual void MoveTo(TimerLoop* loop) = 0;
};

// The only implementation; separate so that the interface stays free of the registry.
class Timer_impl final : public Timer {
 public:
  Timer_impl(Callback callback, uint32_t intervalMs);
  ~Timer_impl() override;
  Timer_impl(const Timer_impl&) = delete;
  Timer_impl& operator=(const Timer_impl&) = delete;

  void Halt() override;
  void MoveTo(TimerLoop* loop) override;

  bool IsRunning() const { return source_.id != 0; }
  // The loop driving the timer; null on the platform's timers or while not running.
  TimerLoop* Loop() const { return source_.loop; }
  uint32_t IntervalMs() const { return intervalMs_; }

  // Called by the platform timer with its id; runs the registered timer's callback.
  static void TimerProcedure(uintptr_t platformId) noexcept;
  // Called by a loop with the key the timer registered under; the same for loop timers.
  static void LoopProcedure(uintptr_t key) noexcept;

 private:
  // What drives the timer: a platform timer id (loop null) or a key registered with loop.
  struct Source {
    TimerLoop* loop = nullptr;
    uintptr_t id = 0;
  };

  // Starts a source on loop (null: the platform); its id stays 0 when that refused.
  Source StartSource(TimerLoop* loop) const;
  static void StopSource(const Source& source) noexcept;
  // Puts next in place of the current source, listing or unlisting the timer as it starts or
  // stops running; hands back the source to stop. Unlisted when the registry cannot grow.
  Source Replace(Source next);
  static void Fire(bool fromLoop, uintptr_t id) noexcept;

  Source source_;
  bool halted_ = false;
  // Shared so that a callback that destroys its own timer does not pull the callable out
  // from under the running call.
  std::shared_ptr<Callback> callback_;
  uint32_t intervalMs_;
};

// Number of timers in the module's registry (for tests and diagnostics).
int32_t RunningTimerCount();

}  // namespace plugkit
