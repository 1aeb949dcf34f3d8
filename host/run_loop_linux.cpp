#include "host/run_loop.h"

#include <algorithm>
#include <chrono>
#include <thread>

#include "pluginterfaces/gui/iplugview.h"

namespace tarnwell::host {
namespace {

using namespace Steinberg;
using Clock = std::chrono::steady_clock;

class LinuxRunLoop final : public RunLoop, public Linux::IRunLoop {
 public:
  // A timer still registered here is the plug-in's fault, for tests to find: its handler is
  // not released, since the module that holds its code may be gone by now.
  ~LinuxRunLoop() override = default;

  FUnknown* Interface() override { return static_cast<Linux::IRunLoop*>(this); }

  void RunDue() override {
    const Clock::time_point now = Clock::now();
    // The handlers are held through their calls: a timer may unregister itself or others.
    std::vector<Linux::ITimerHandler*> due;
    for (Registration& timer : timers_) {
      if (timer.due > now) continue;
      timer.due += timer.interval;
      if (timer.due <= now) timer.due = now + timer.interval;  // fell behind: once, not a burst
      timer.handler->addRef();
      due.push_back(timer.handler);
    }
    for (Linux::ITimerHandler* handler : due) {
      if (Find(handler) != timers_.end()) handler->onTimer();
      handler->release();
    }
  }

  void RunFor(uint32_t milliseconds) override {
    const Clock::time_point deadline = Clock::now() + std::chrono::milliseconds(milliseconds);
    for (;;) {
      RunDue();
      Clock::time_point next = deadline;
      for (const Registration& timer : timers_) next = std::min(next, timer.due);
      if (Clock::now() >= deadline) return;
      std::this_thread::sleep_until(next);
    }
  }

  std::vector<uint64_t> RegisteredIntervals() const override {
    std::vector<uint64_t> intervals;
    for (const Registration& timer : timers_)
      intervals.push_back(
          static_cast<uint64_t>(std::chrono::duration_cast<std::chrono::milliseconds>(timer.interval).count()));
    return intervals;
  }

  tresult PLUGIN_API registerEventHandler(Linux::IEventHandler*, Linux::FileDescriptor) override {
    return kNotImplemented;  // nothing here waits on file descriptors
  }
  tresult PLUGIN_API unregisterEventHandler(Linux::IEventHandler*) override { return kNotImplemented; }

  tresult PLUGIN_API registerTimer(Linux::ITimerHandler* handler, Linux::TimerInterval milliseconds) override {
    if (handler == nullptr || milliseconds == 0) return kInvalidArgument;
    if (Find(handler) != timers_.end()) return kResultFalse;
    const auto interval = std::chrono::milliseconds(milliseconds);
    timers_.push_back(Registration{handler, interval, Clock::now() + interval});
    handler->addRef();
    return kResultOk;
  }

  tresult PLUGIN_API unregisterTimer(Linux::ITimerHandler* handler) override {
    auto found = Find(handler);
    if (found == timers_.end()) return kResultFalse;
    timers_.erase(found);
    handler->release();
    return kResultOk;
  }

  tresult PLUGIN_API queryInterface(const TUID iid, void** obj) override {
    QUERY_INTERFACE(iid, obj, FUnknown::iid, Linux::IRunLoop)
    QUERY_INTERFACE(iid, obj, Linux::IRunLoop::iid, Linux::IRunLoop)
    *obj = nullptr;
    return kNoInterface;
  }
  // Owned by the host: reference counting is not used for lifetime.
  uint32 PLUGIN_API addRef() override { return 1; }
  uint32 PLUGIN_API release() override { return 1; }

 private:
  struct Registration {
    Linux::ITimerHandler* handler;
    Clock::duration interval;
    Clock::time_point due;
  };

  std::vector<Registration>::iterator Find(Linux::ITimerHandler* handler) {
    return std::find_if(timers_.begin(), timers_.end(),
                        [handler](const Registration& r) { return r.handler == handler; });
  }

  std::vector<Registration> timers_;
};

}  // namespace

std::unique_ptr<RunLoop> MakeRunLoop() { return std::make_unique<LinuxRunLoop>(); }

}  // namespace tarnwell::host
