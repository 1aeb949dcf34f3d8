#include "framework/vst3/host_run_loop.h"

namespace plugkit {

// Windows hosts run a message loop on their UI thread, which delivers the platform's thread
// timers: there is no run loop to ask for.
std::unique_ptr<TimerLoop> FindHostRunLoop(Steinberg::FUnknown*) noexcept { return nullptr; }

}  // namespace plugkit
