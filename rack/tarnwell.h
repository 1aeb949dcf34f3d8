// Tarnwell, the vocal rack plug-in: 53 parameters over the rack engine's ten bays, the
// tempo link, meters with a held peak, the state chunk with the current preset id, factory
// presets and the page's requests. Its overrides of the framework's hooks are thin; each
// hands the work to one of the files beside it.
//
// Threads: RenderBlock runs on the audio thread; ParamChanged on the thread that changed the
// parameter (the audio thread for host automation); everything else on the UI thread.
#pragma once

#include <array>
#include <atomic>
#include <cstdint>
#include <memory>
#include <string>

#include "framework/vst3/plugin.h"
#include "rack/dsp/engine.h"
#include "rack/meter_hold.h"
#include "rack/rack_request_context.h"
#include "rack/tempo_link.h"
#include "rack/ui_outbox.h"

class Tarnwell : public plugkit::IPluginVST3, public tarnwell::RackRequestContext {
 public:
  explicit Tarnwell(std::unique_ptr<tarnwell::TempoBlockSource> tempoSource = tarnwell::MakeSharedTempoBlockSource());
  ~Tarnwell() override;

  // --- Editor.
  void DetachEditorWindow() override;
  void OnEditorOpened() override;
  // The editor has one size, 680 x 588.
  bool ConstrainEditorSize(int32_t& width, int32_t& height) override;
  bool MayNavigateTo(const char* url) override;

  // --- Parameters, state and the page.
  void ParamChanged(int32_t paramIdx) override;
  // The host's setParamNormalized reaches no ParamChanged of the binding's; the latency must
  // follow it all the same.
  void OnUIParamChanged(int32_t paramIdx, plugkit::ParamChangeOrigin origin) override;
  bool HandleUIMessage(int32_t msgTag, int32_t ctrlTag, int32_t dataSize, const void* data) override;
  bool SaveState(plugkit::StateBlob& blob) override;
  int32_t LoadState(const plugkit::StateBlob& blob, int32_t start) override;
  bool LoadedStateEndsAtBypass() const override;
  void OnIdleTick() override;

  // --- Processor.
  void RenderBlock(double* const* inputs, double* const* outputs, int32_t frames) noexcept override;
  void ResetDsp() noexcept override;

  // --- RackRequestContext.
  void ApplyPresetSlots(const tarnwell::PresetSlots& slots) override;
  void SelectFactoryPreset(int32_t index) override;
  double ParamValue(int32_t paramIdx) const override;
  const std::string& CurrentPresetId() const override { return currentPresetId_; }
  void SetCurrentPresetId(std::string id) override { currentPresetId_ = std::move(id); }
  void MarkPresetIdChanged() override { uiDirty_.store(true, std::memory_order_release); }
  void QueueUIReply(int32_t msgTag, const nlohmann::json& reply) override;
  tarnwell::SessionTokenStore& SessionTokens() override { return sessionTokens_; }
  std::string LocalAppDataFolder() const override;

  // A fresh settings snapshot whose tempo comes through the tempo link, which this advances (its retry
  // count, and a mapping where the thread may call the system). Any thread, no allocation: the audio
  // thread calls it for every block and through UpdateLatency. hostTempoBpm <= 1 means 120.
  tarnwell::dsp::EngineSettings SnapshotSettingsAndFollowTempo(double hostTempoBpm) noexcept;
  // Recomputes the latency of the current parameters and reports it when it changed.
  void UpdateLatency() noexcept;
  // The current preset id to the page at once (editor open only).
  void NotifyCurrentPreset();
  // The current preset id when asked for, then every queued reply (editor open only).
  void FlushUIOutbox();

  bool IsEditorOpen() const noexcept { return editorOpen_; }
  const tarnwell::TempoLink& TempoLinkState() const noexcept { return tempoLink_; }
  const tarnwell::dsp::RackEngine& Engine() const noexcept { return engine_; }

 private:
  // One parameter from a preset: set silently (the host's copy follows) and sent to the page.
  void SetParamAndNotifyUI(int32_t paramIdx, double value);
  // A system call may run here: the UI thread, outside any process call.
  bool MayCallSystemHere() const noexcept;
  void ReserveBypassDelayForRate() noexcept;
  void SendTempoLinkWhenMoved();
  void SendMetersWhenMoved();

  tarnwell::dsp::RackEngine engine_;
  tarnwell::TempoLink tempoLink_;
  std::atomic<int32_t> lastLatencySamples_{-1};
  int32_t reservedLatency_ = -1;
  tarnwell::MeterHold meterHold_;
  tarnwell::MeterMailbox meters_;
  std::array<float, 4> sentMeters_ = {-1.0f, -1.0f, -1.0f, -1.0f};
  bool editorOpen_ = false;
  std::atomic<bool> uiDirty_{false};
  tarnwell::UIOutbox uiOutbox_;
  int32_t tempoLinkCountdown_ = 1;
  std::array<float, 2> sentTempoLink_ = {-1.0f, -1.0f};
  bool versionSent_ = false;
  std::string currentPresetId_;
  bool loadedStateEndsAtBypass_ = true;
  std::unique_ptr<plugkit::platform::CredentialStore> credentials_;
  tarnwell::SessionTokenStore sessionTokens_;
  const uint64_t uiThread_;
};
