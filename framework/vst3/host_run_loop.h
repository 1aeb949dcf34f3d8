// The run loop a host hands its plug-ins, as a loop for the framework's timers. Linux hosts
// offer one (the module's own timers reach no loop of theirs); Windows hosts offer none, and
// thread timers come from the message loop there.
#pragma once

#include <memory>

#include "framework/timer.h"
#include "pluginterfaces/base/funknown.h"

namespace plugkit {

// The run loop that hostObject (the context given to initialize, or a view's frame) hands
// out, holding a reference to it until destroyed; null when it hands out none or for null.
// The loop's timers are called on the host's UI thread. Register and Unregister must come
// from one thread.
std::unique_ptr<TimerLoop> FindHostRunLoop(Steinberg::FUnknown* hostObject) noexcept;

}  // namespace plugkit
