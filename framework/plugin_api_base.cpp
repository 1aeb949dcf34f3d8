#include "framework/plugin_api_base.h"

#include <algorithm>
#include <utility>

namespace plugkit {
namespace {

// NaN counts as 0; hosts expect normalised values within 0..1.
double LimitNormalised(double normalised) {
  if (!(normalised >= 0.0)) return 0.0;
  return std::min(normalised, 1.0);
}

}  // namespace

IPluginAPIBase::IPluginAPIBase(const PluginSetup& setup) : IPluginBase(setup) {
  SetEditorSize(setup.editorWidth, setup.editorHeight);
  SetEditorSizeBounds(
      std::min(setup.editorMinWidth, setup.editorMaxWidth), std::max(setup.editorMinWidth, setup.editorMaxWidth),
      std::min(setup.editorMinHeight, setup.editorMaxHeight), std::max(setup.editorMinHeight, setup.editorMaxHeight));
}

IPluginAPIBase::~IPluginAPIBase() { StopIdleTimer(); }

void IPluginAPIBase::StartIdleTimer() {
  std::unique_ptr<Timer> fresh = Timer::Start([this](Timer&) { OnIdleTimerTick(); }, kIdleIntervalMs, idleLoop_);
  if (fresh == nullptr) return;  // out of memory: the running timer, if any, carries on
  std::swap(idleTimer_, fresh);
}

void IPluginAPIBase::DriveIdleTimerFrom(TimerLoop* loop) noexcept {
  idleLoop_ = loop;
  if (idleTimer_ != nullptr) idleTimer_->MoveTo(loop);
}

void IPluginAPIBase::StopIdleTimer() noexcept {
  if (idleTimer_ != nullptr) idleTimer_->Halt();
}

void IPluginAPIBase::OnIdleTimerTick() {
  MidiMessage message;
  for (int32_t n = midiToUI_.ElementsAvailable(); n > 0 && midiToUI_.Pop(message); --n) SendMidiMsgToUI(message);
  SysExRecord record;
  for (int32_t n = sysExToUI_.ElementsAvailable(); n > 0 && sysExToUI_.Pop(record); --n)
    SendSysExToUI(ViewOfSysExRecord(record));
  DeliverDeferredHostNotifications();
  OnIdleTick();
}

void IPluginAPIBase::SetHost(const char* name, int32_t version) {
  SetHostIdentity(name, IdentifyHost(name), version);
  HostSpecificSetup();
  OnHostKnown();
}

double IPluginAPIBase::SetParamValueSilently(int32_t paramIdx, double value) {
  IParam* param = GetParam(paramIdx);
  if (param == nullptr) return 0.0;
  const double normalised = param->NormaliseValue(param->SetValue(value));
  MirrorParamValueToHost(paramIdx, normalised);
  return normalised;
}

void IPluginAPIBase::ApplyParamValueFromUI(int32_t paramIdx, double normalised) {
  IParam* param = GetParam(paramIdx);
  if (param == nullptr) return;
  const double value = LimitNormalised(normalised);
  param->SetNormalised(value);
  SendParamValueToHost(paramIdx, value);
  OnParamChange(paramIdx, ParamChangeOrigin::UI, -1);
}

void IPluginAPIBase::SetParamValueFromUI(int32_t paramIdx, double normalised) {
  ApplyParamValueFromUI(paramIdx, normalised);
  IParam* param = GetParam(paramIdx);
  if (param == nullptr) return;
  param->SetNormalised(LimitNormalised(normalised));
  OnUIParamChanged(paramIdx, ParamChangeOrigin::UI);
}

bool IPluginAPIBase::ResizeEditorFromUI(int32_t width, int32_t height, bool resizeHost) {
  return resizeHost ? ResizeHostView(width, height, resizeHost) : true;
}

}  // namespace plugkit
