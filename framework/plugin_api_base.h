// IPluginAPIBase: the last framework base before the VST 3 binding. It takes the plug-in's
// set-up, identifies the host, owns the rings that carry MIDI and SysEx between the audio
// thread and the UI thread, and owns the 20 ms idle timer that drains the rings towards
// the page and drives the plug-in's idle hook.
//
// Threads: everything here runs on the UI thread, apart from the rings' audio-side ends
// (pushing MidiRingToUI, popping MidiRingToProcessor) and OnParamChange for host changes.
#pragma once

#include <cstdint>
#include <memory>

#include "framework/core/midi_message.h"
#include "framework/core/param_update.h"
#include "framework/core/ring_queue.h"
#include "framework/core/sysex_message.h"
#include "framework/plugin_base.h"
#include "framework/plugin_setup.h"
#include "framework/timer.h"

namespace plugkit {

class IPluginAPIBase : public IPluginBase {
 public:
  static constexpr uint32_t kIdleIntervalMs = 20;
  static constexpr int32_t kParamRingCapacity = 512;
  static constexpr int32_t kMidiRingCapacity = 32;
  static constexpr int32_t kSysExRingCapacity = 4;

  // Copies the set-up (editor size and its bounds, smaller value as minimum, included) and
  // builds the rings; the idle timer is not started.
  explicit IPluginAPIBase(const PluginSetup& setup);
  // Halts the idle timer before anything else goes.
  ~IPluginAPIBase() override;

  // --- Idle timer (UI thread: it fires on the thread that starts it).
  // Starts a 20 ms timer calling OnIdleTimerTick, on the loop given to DriveIdleTimerFrom if
  // any; an older one is destroyed after the new one is in place.
  void StartIdleTimer();
  // Moves the idle timer onto a loop the host runs, or back onto the platform's timers for
  // null; a timer started later goes there too. The loop stays in use until the next call
  // here or StopIdleTimer, so its owner calls one of them before it goes.
  void DriveIdleTimerFrom(TimerLoop* loop) noexcept;
  // Halts the timer. A plug-in class calls this first in its destructor, so that no tick
  // reaches a half-destroyed object.
  void StopIdleTimer() noexcept;
  // The timer's callback: sends what the audio thread queued for the page (as much as was
  // waiting when the tick began, so a busy producer cannot hold the UI thread), then runs
  // OnIdleTick.
  void OnIdleTimerTick();

  // --- Host.
  // Keeps the name and version, identifies the host, then runs HostSpecificSetup and
  // OnHostKnown.
  void SetHost(const char* name, int32_t version);

  // --- From the plug-in itself (UI thread).
  // Sets the parameter from a plain value as the plug-in's own change (a preset applied): the
  // host's copy follows without an edit or a gesture, and no hook runs. Returns the stored
  // value normalised; an index that names no parameter changes nothing and gives 0.
  double SetParamValueSilently(int32_t paramIdx, double value);

  // --- From the page (UI thread).
  // Sets the parameter from a normalised value limited to 0..1 (a page may send anything),
  // tells the host the same value, then runs OnParamChange with origin UI. An index that
  // names no parameter changes nothing.
  void ApplyParamValueFromUI(int32_t paramIdx, double normalised);
  // ApplyParamValueFromUI, then the parameter set again and OnUIParamChanged with origin UI.
  void SetParamValueFromUI(int32_t paramIdx, double normalised) override;
  void BeginParamGestureFromUI(int32_t paramIdx) override { BeginParamGestureToHost(paramIdx); }
  void EndParamGestureFromUI(int32_t paramIdx) override { EndParamGestureToHost(paramIdx); }
  // With resizeHost asks the host (ResizeHostView); otherwise true.
  bool ResizeEditorFromUI(int32_t width, int32_t height, bool resizeHost) override;
  void ForwardMsgFromUI(int32_t msgTag, int32_t ctrlTag, int32_t dataSize, const void* data) override {
    HandleUIMessage(msgTag, ctrlTag, dataSize, data);
  }
  void ForwardMidiFromUI(const MidiMessage& message) override { QueueMidiFromUI(message); }
  // Onto the UI-to-processor ring; dropped when the ring is full.
  void QueueMidiFromUI(const MidiMessage& message) override { midiToProcessor_.Push(message); }

  // --- Towards the host; the VST 3 binding overrides these.
  virtual void BeginParamGestureToHost(int32_t) {}
  virtual void EndParamGestureToHost(int32_t) {}
  virtual void SendParamValueToHost(int32_t, double) {}
  // The host's copy of a parameter, changed without telling the host.
  virtual void MirrorParamValueToHost(int32_t, double) {}
  virtual bool ResizeHostView(int32_t, int32_t, bool) { return false; }
  // Notifications for the host that were asked for where it must not be called (the audio
  // thread); the binding delivers them here, on each idle tick before the plug-in's hook.
  virtual void DeliverDeferredHostNotifications() {}

  // --- Plug-in hooks.
  virtual void HostSpecificSetup() {}
  virtual void OnHostKnown() {}
  virtual void OnIdleTick() {}

  // --- Rings: one producer thread and one consumer thread each.
  // Page MIDI for the processor (UI thread pushes, audio thread pops).
  RingQueue<MidiMessage>& MidiRingToProcessor() noexcept { return midiToProcessor_; }
  // MIDI the processor saw, for the page (audio thread pushes, the idle tick pops).
  RingQueue<MidiMessage>& MidiRingToUI() noexcept { return midiToUI_; }
  RingQueue<SysExRecord>& SysExRingToProcessor() noexcept { return sysExToProcessor_; }
  RingQueue<SysExRecord>& SysExRingToUI() noexcept { return sysExToUI_; }
  // Kept for parameter values between the threads; nothing uses it yet.
  RingQueue<ParamUpdate>& ParamRing() noexcept { return paramRing_; }

 private:
  // Declared first so that it is destroyed last, after the rings.
  std::unique_ptr<Timer> idleTimer_;
  TimerLoop* idleLoop_ = nullptr;
  RingQueue<ParamUpdate> paramRing_{kParamRingCapacity};
  RingQueue<MidiMessage> midiToProcessor_{kMidiRingCapacity};
  RingQueue<MidiMessage> midiToUI_{kMidiRingCapacity};
  RingQueue<SysExRecord> sysExToProcessor_{kSysExRingCapacity};
  RingQueue<SysExRecord> sysExToUI_{kSysExRingCapacity};
};

}  // namespace plugkit
