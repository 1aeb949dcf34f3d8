#include "framework/vst3/host_run_loop.h"

#include <atomic>
#include <new>
#include <vector>

#include "pluginterfaces/gui/iplugview.h"

namespace plugkit {
namespace {

using namespace Steinberg;

// What the host calls back: the key the framework's timer registered under. Counted, since a
// host may keep its own reference past unregisterTimer.
class KeyedTimerHandler final : public Linux::ITimerHandler {
 public:
  KeyedTimerHandler(uintptr_t key, platform::UiTimerProcedure procedure) : key_(key), procedure_(procedure) {}

  void PLUGIN_API onTimer() override { procedure_(key_); }

  tresult PLUGIN_API queryInterface(const TUID iid, void** obj) override {
    QUERY_INTERFACE(iid, obj, FUnknown::iid, Linux::ITimerHandler)
    QUERY_INTERFACE(iid, obj, Linux::ITimerHandler::iid, Linux::ITimerHandler)
    *obj = nullptr;
    return kNoInterface;
  }
  uint32 PLUGIN_API addRef() override { return ++references_; }
  uint32 PLUGIN_API release() override {
    const uint32 left = --references_;
    if (left == 0) delete this;
    return left;
  }

  uintptr_t Key() const { return key_; }

 private:
  std::atomic<uint32> references_{1};
  const uintptr_t key_;
  const platform::UiTimerProcedure procedure_;
};

class HostRunLoop final : public TimerLoop {
 public:
  explicit HostRunLoop(Linux::IRunLoop* loop) : loop_(loop) {}
  ~HostRunLoop() override {
    // Owners move their timers off first; whatever is left must not outlive the reference.
    while (!handlers_.empty()) Unregister(handlers_.back()->Key());
    loop_->release();
  }
  HostRunLoop(const HostRunLoop&) = delete;
  HostRunLoop& operator=(const HostRunLoop&) = delete;

  bool Register(uintptr_t key, uint32_t intervalMs, platform::UiTimerProcedure procedure) noexcept override {
    auto* handler = new (std::nothrow) KeyedTimerHandler(key, procedure);
    if (handler == nullptr) return false;
    try {
      handlers_.push_back(handler);
    } catch (const std::bad_alloc&) {
      handler->release();
      return false;
    }
    if (loop_->registerTimer(handler, intervalMs) == kResultOk) return true;
    handlers_.pop_back();
    handler->release();
    return false;
  }

  void Unregister(uintptr_t key) noexcept override {
    for (auto it = handlers_.begin(); it != handlers_.end(); ++it) {
      if ((*it)->Key() != key) continue;
      KeyedTimerHandler* handler = *it;
      handlers_.erase(it);
      loop_->unregisterTimer(handler);
      handler->release();
      return;
    }
  }

 private:
  Linux::IRunLoop* loop_;
  std::vector<KeyedTimerHandler*> handlers_;
};

}  // namespace

std::unique_ptr<TimerLoop> FindHostRunLoop(FUnknown* hostObject) noexcept {
  if (hostObject == nullptr) return nullptr;
  Linux::IRunLoop* loop = nullptr;
  if (hostObject->queryInterface(Linux::IRunLoop::iid, reinterpret_cast<void**>(&loop)) != kResultOk || loop == nullptr)
    return nullptr;
  auto found = std::unique_ptr<TimerLoop>(new (std::nothrow) HostRunLoop(loop));
  if (found == nullptr) loop->release();
  return found;
}

}  // namespace plugkit
