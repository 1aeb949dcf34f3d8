#include "rack/tarnwell.h"

#include <algorithm>
#include <cmath>
#include <cstring>

#include "framework/core/folder_paths.h"
#include "platform/thread_identity.h"
#include "rack/engine_snapshot.h"
#include "rack/page_vocabulary.h"
#include "rack/state_chunk.h"
#include "rack/tarnwell_params.h"
#include "rack/ui_msg_tag.h"
#include "rack/ui_requests.h"
#include "webview/navigation_guard.h"
#include "webview/page_script_calls.h"
#include "webview/web_root.h"

using tarnwell::BayField;
using tarnwell::BayParam;
using tarnwell::dsp::EffectType;
using tarnwell::dsp::EngineSettings;
using tarnwell::dsp::kBayCount;
using tarnwell::dsp::kEffectTypeCount;
using tarnwell::dsp::MeterFrame;
using tarnwell::dsp::RackBay;

namespace {

constexpr int32_t kEditorWidth = 680;
constexpr int32_t kEditorHeight = 588;
constexpr int32_t kTempoReportTicks = 20;
constexpr float kTempoMoveBpm = 0.05f;
constexpr float kLinkMove = 0.01f;
constexpr float kPeakMove = 0.001f;
constexpr float kReductionMoveDb = 0.1f;
constexpr double kFallbackRate = 48000.0;

std::string LocalAppDataFolderPath() {
  plugkit::GrowString folder;
  plugkit::AppDataFolder(folder, false);
  return folder.Get();
}

}  // namespace

Tarnwell::Tarnwell(std::unique_ptr<tarnwell::TempoBlockSource> tempoSource)
    : IPluginVST3(tarnwell::TarnwellSetup()),
      tempoLink_(std::move(tempoSource)),
      currentPresetId_(tarnwell::kDefaultPresetId),
      credentials_(plugkit::platform::MakeUserCredentialStore()),
      sessionTokens_(*credentials_, LocalAppDataFolderPath()),
      uiThread_(plugkit::platform::CurrentThreadId()) {
  tarnwell::DefineParameters(*this);
  tempoLink_.Map();
  SetEditorInitCallback([this] { plugkit::LoadWebUI(*this); });
}

// The timer goes first, so that no tick reaches a half-destroyed object; the tempo link
// unmaps itself with the members.
Tarnwell::~Tarnwell() { StopIdleTimer(); }

// --- Editor.

void Tarnwell::DetachEditorWindow() {
  editorOpen_ = false;
  IPluginVST3::DetachEditorWindow();
}

void Tarnwell::OnEditorOpened() {
  editorOpen_ = true;
  versionSent_ = false;
  sentMeters_.fill(-1.0f);
  sentTempoLink_.fill(-1.0f);
  SendAllParamValuesToUI();
  const std::string vocabulary = tarnwell::PageVocabularyJson(*this);
  if (!vocabulary.empty())
    SendArbitraryMsgToUI(plugkit::kPageVocabularyTag, static_cast<int32_t>(vocabulary.size()), vocabulary.data());
  uiDirty_.store(true, std::memory_order_release);
}

bool Tarnwell::ConstrainEditorSize(int32_t& width, int32_t& height) {
  if (width <= 0 || height <= 0) return true;
  if (width == kEditorWidth && height == kEditorHeight) return true;
  width = kEditorWidth;
  height = kEditorHeight;
  return false;
}

bool Tarnwell::MayNavigateTo(const char* url) { return plugkit::MayNavigateWithinWebFolder(*this, url); }

// --- Parameters and latency.

void Tarnwell::ParamChanged(int32_t) { UpdateLatency(); }

void Tarnwell::OnUIParamChanged(int32_t paramIdx, plugkit::ParamChangeOrigin origin) {
  IPluginVST3::OnUIParamChanged(paramIdx, origin);
  if (origin == plugkit::ParamChangeOrigin::Host) ParamChanged(paramIdx);
}

double Tarnwell::ParamValue(int32_t paramIdx) const {
  const plugkit::IParam* param = GetParam(paramIdx);
  return param != nullptr ? param->Value() : 0.0;
}

bool Tarnwell::MayCallSystemHere() const noexcept {
  return plugkit::platform::CurrentThreadId() == uiThread_ && !IsInProcessCallOnThisThread();
}

EngineSettings Tarnwell::SnapshotSettingsAndFollowTempo(double hostTempoBpm) noexcept {
  EngineSettings settings = tarnwell::SnapshotFromParams(*this, hostTempoBpm);
  settings.tempoBpm = tempoLink_.FollowTempo(settings.tempoBpm, MayCallSystemHere());
  return settings;
}

void Tarnwell::UpdateLatency() noexcept {
  // The host's tempo is the audio thread's; the latency does not depend on it.
  const int32_t latency = engine_.LatencySamples(SnapshotSettingsAndFollowTempo(0.0));
  if (lastLatencySamples_.exchange(latency, std::memory_order_acq_rel) != latency) SetLatencySamples(latency);
}

// --- Processor.

void Tarnwell::ReserveBypassDelayForRate() noexcept {
  int32_t largest = 0;
  for (int32_t type = 0; type < kEffectTypeCount; ++type)
    largest = std::max(largest, RackBay::LatencySamples(type, engine_.SampleRate()));
  const int32_t reserve = largest * kBayCount;
  // Only a new rate changes it; the bypass line is never resized while blocks may run.
  if (reserve == reservedLatency_) return;
  reservedLatency_ = reserve;
  ReserveLatencyDelay(reserve);
}

void Tarnwell::ResetDsp() noexcept {
  engine_.Prepare(SampleRate());
  ReserveBypassDelayForRate();
  if (MayCallSystemHere()) tempoLink_.Map();
  UpdateLatency();
}

void Tarnwell::RenderBlock(double* const* inputs, double* const* outputs, int32_t frames) noexcept {
  const int32_t connected = ConnectedChannelCount(plugkit::BusDirection::Output);
  const auto bytes = static_cast<size_t>(std::max(frames, 0)) * sizeof(double);
  // Hosts may process in place; copying a buffer onto itself is undefined.
  if (inputs[0] != outputs[0]) std::memcpy(outputs[0], inputs[0], bytes);
  if (connected > 1 && inputs[1] != outputs[1]) std::memcpy(outputs[1], inputs[1], bytes);

  const EngineSettings settings = SnapshotSettingsAndFollowTempo(Transport().tempo);
  engine_.Process(outputs, connected < 2 ? 1 : 2, frames, settings);

  if (!meterHold_.ReadingDue()) return;
  const double rate = SampleRate() > 0.0 ? SampleRate() : kFallbackRate;
  const double held = meterHold_.Hold(engine_.OutputPeak(), Transport().samplePosition / rate);
  meters_.Publish({static_cast<float>(engine_.OutputPeak()), static_cast<float>(engine_.GainReductionDb()),
                   static_cast<float>(engine_.InputPeak()), static_cast<float>(held)});
}

// --- State.

bool Tarnwell::SaveState(plugkit::StateBlob& blob) { return tarnwell::WriteStateChunk(blob, *this, currentPresetId_); }

int32_t Tarnwell::LoadState(const plugkit::StateBlob& blob, int32_t start) {
  tarnwell::ReadChunk chunk = tarnwell::ReadStateChunk(blob, start, *this);
  currentPresetId_ = std::move(chunk.presetId);
  loadedStateEndsAtBypass_ = chunk.endsAtBypass;
  MarkPresetIdChanged();
  return chunk.end;
}

bool Tarnwell::LoadedStateEndsAtBypass() const { return loadedStateEndsAtBypass_; }

// --- Presets.

void Tarnwell::SetParamAndNotifyUI(int32_t paramIdx, double value) {
  if (GetParam(paramIdx) == nullptr) return;
  SendParamValueToUI(paramIdx, SetParamValueSilently(paramIdx, value), true);
}

void Tarnwell::ApplyPresetSlots(const tarnwell::PresetSlots& slots) {
  for (int32_t bay = 0; bay < kBayCount; ++bay) {
    const tarnwell::PresetBay& preset = slots.bays[static_cast<size_t>(bay)];
    const bool inRange = preset.type >= 0 && preset.type < kEffectTypeCount;
    SetParamAndNotifyUI(BayParam(bay, BayField::On), preset.type >= 0 ? 1.0 : 0.0);
    SetParamAndNotifyUI(BayParam(bay, BayField::Effect),
                        inRange ? preset.type : static_cast<double>(EffectType::Empty));
    SetParamAndNotifyUI(BayParam(bay, BayField::Character),
                        std::clamp(preset.character, 0, tarnwell::kCharacterCount - 1));
    // fmax/fmin rather than clamp: a NaN amount from a file becomes 0, not NaN.
    SetParamAndNotifyUI(BayParam(bay, BayField::Amount),
                        100.0 * std::fmin(1.0, std::fmax(0.0, static_cast<double>(preset.amount))));
    SetParamAndNotifyUI(BayParam(bay, BayField::Solo), 0.0);
  }
  SetParamAndNotifyUI(tarnwell::kInputParam, slots.inputGainDb);
  SetParamAndNotifyUI(tarnwell::kOutputParam, slots.outputGainDb);
  SetParamAndNotifyUI(tarnwell::kSafetyParam, slots.safety ? 1.0 : 0.0);
  UpdateLatency();
  MarkPresetIdChanged();
}

void Tarnwell::SelectFactoryPreset(int32_t index) {
  if (static_cast<uint32_t>(index) >= static_cast<uint32_t>(tarnwell::kFactoryPresetCount)) return;
  const tarnwell::FactoryPreset& preset = tarnwell::FactoryPresets()[static_cast<size_t>(index)];
  currentPresetId_ = tarnwell::FactoryPresetId(preset);
  ApplyPresetSlots(tarnwell::SlotsOf(preset));
}

// --- The page.

bool Tarnwell::HandleUIMessage(int32_t msgTag, int32_t ctrlTag, int32_t dataSize, const void* data) {
  return tarnwell::DispatchUIRequest(*this, tarnwell::UIRequestRoutes(), msgTag, ctrlTag, dataSize, data);
}

void Tarnwell::QueueUIReply(int32_t msgTag, const nlohmann::json& reply) {
  if (editorOpen_) uiOutbox_.Queue(msgTag, reply);
}

std::string Tarnwell::LocalAppDataFolder() const { return LocalAppDataFolderPath(); }

void Tarnwell::NotifyCurrentPreset() {
  if (!editorOpen_) return;
  const std::string text = tarnwell::CompactJson({{"id", currentPresetId_}});
  SendArbitraryMsgToUI(tarnwell::TagValue(tarnwell::UIMsgTag::CurrentPreset), static_cast<int32_t>(text.size()),
                       text.data());
}

void Tarnwell::FlushUIOutbox() {
  if (!editorOpen_) return;
  if (uiDirty_.exchange(false, std::memory_order_acq_rel)) NotifyCurrentPreset();
  for (const tarnwell::UIReply& reply : uiOutbox_.TakeAll())
    SendArbitraryMsgToUI(reply.msgTag, static_cast<int32_t>(reply.text.size()), reply.text.data());
}

void Tarnwell::SendTempoLinkWhenMoved() {
  if (--tempoLinkCountdown_ > 0) return;
  tempoLinkCountdown_ = kTempoReportTicks;
  const std::array<float, 2> frame = {tempoLink_.LinkedTempoBpm(), tempoLink_.Linked() ? 1.0f : 0.0f};
  if (std::fabs(frame[0] - sentTempoLink_[0]) > kTempoMoveBpm || std::fabs(frame[1] - sentTempoLink_[1]) > kLinkMove) {
    sentTempoLink_ = frame;
    SendArbitraryMsgToUI(tarnwell::TagValue(tarnwell::UIMsgTag::TempoLink), sizeof frame, frame.data());
  }
}

void Tarnwell::SendMetersWhenMoved() {
  MeterFrame frame;
  if (!meters_.Take(frame)) return;
  if (std::fabs(frame.outputPeak - sentMeters_[0]) < kPeakMove &&
      std::fabs(frame.gainReductionDb - sentMeters_[1]) < kReductionMoveDb &&
      std::fabs(frame.inputPeak - sentMeters_[2]) < kPeakMove &&
      std::fabs(frame.outputPeakHold - sentMeters_[3]) < kPeakMove)
    return;
  sentMeters_ = {frame.outputPeak, frame.gainReductionDb, frame.inputPeak, frame.outputPeakHold};
  SendArbitraryMsgToUI(tarnwell::TagValue(tarnwell::UIMsgTag::Meters), sizeof frame, &frame);
}

void Tarnwell::OnIdleTick() {
  tempoLink_.IdleRetry();
  if (!editorOpen_) {
    meters_.Discard();
    return;
  }
  if (!versionSent_) {
    versionSent_ = true;
    SendArbitraryMsgToUI(tarnwell::TagValue(tarnwell::UIMsgTag::Version), sizeof tarnwell::kVersionMessage - 1,
                         tarnwell::kVersionMessage);
  }
  SendTempoLinkWhenMoved();
  FlushUIOutbox();
  SendMetersWhenMoved();
}
