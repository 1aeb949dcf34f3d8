// A host's loop for the framework's timers, driven by the test: it keeps what was registered
// and calls the registered procedures when told to.
#pragma once

#include <algorithm>
#include <cstdint>
#include <vector>

#include "framework/timer.h"

namespace plugkit::testing {

class RecordingTimerLoop final : public TimerLoop {
 public:
  struct Registration {
    uintptr_t key;
    uint32_t intervalMs;
    platform::UiTimerProcedure procedure;
  };

  bool Register(uintptr_t key, uint32_t intervalMs, platform::UiTimerProcedure procedure) noexcept override {
    if (refuses) return false;
    registrations.push_back({key, intervalMs, procedure});
    return true;
  }
  void Unregister(uintptr_t key) noexcept override {
    std::erase_if(registrations, [key](const Registration& r) { return r.key == key; });
  }

  // One round of the host's loop: every timer registered when it began is called once.
  void Fire() {
    const std::vector<Registration> round = registrations;
    for (const Registration& r : round) r.procedure(r.key);
  }

  bool refuses = false;
  std::vector<Registration> registrations;
};

}  // namespace plugkit::testing
