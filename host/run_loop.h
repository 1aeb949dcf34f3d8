// The run loop a Linux DAW hands its plug-ins (the SDK's IRunLoop, given out by the host
// context or by the editor's frame): a plug-in registers its timers with it, and the host calls
// them from its own loop on its UI thread. Windows hosts have none: the thread's message loop
// delivers a plug-in's timers there.
#pragma once

#include <cstdint>
#include <memory>
#include <vector>

#include "pluginterfaces/base/funknown.h"

namespace tarnwell::host {

class RunLoop {
 public:
  virtual ~RunLoop() = default;

  // What a plug-in's query for the run loop finds.
  virtual Steinberg::FUnknown* Interface() = 0;
  // Calls the timers that are due now, on the calling thread.
  virtual void RunDue() = 0;
  // Runs the loop for about milliseconds, calling timers as they fall due.
  virtual void RunFor(uint32_t milliseconds) = 0;
  // The interval of every timer registered and not unregistered yet, in registration order.
  virtual std::vector<uint64_t> RegisteredIntervals() const = 0;
};

// Null where the platform's hosts have no run loop to offer (Windows).
std::unique_ptr<RunLoop> MakeRunLoop();

}  // namespace tarnwell::host
