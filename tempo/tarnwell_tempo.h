// TarnwellTempo: passes its stereo input through unchanged, detects the tempo of it with a
// TempoDetector, publishes tempo and confidence in the shared tempo block after every block,
// and shows them in its "BPM" and "Confidence" parameters and on its page while the editor
// is open. "Tempo Mode" halves or doubles the published tempo (at most 300).
//
// Threads: RenderBlock and ResetDsp on the audio thread; everything else on the UI thread.
#pragma once

#include <atomic>
#include <cstdint>
#include <string>

#include "framework/vst3/plugin.h"
#include "tempo/tempo_block_writer.h"
#include "tempo/tempo_detector.h"

enum TempoParam : int32_t { ParamBpm = 0, ParamConfidence = 1, ParamTempoMode = 2, kTempoParamCount = 3 };

class TarnwellTempo : public plugkit::IPluginVST3 {
 public:
  static constexpr int32_t kEditorWidth = 227;
  static constexpr int32_t kEditorHeight = 303;

  // blockName: the shared block to publish to (tests give their own).
  explicit TarnwellTempo(const std::string& blockName = kTempoBlockName);
  ~TarnwellTempo() override;

  void DetachEditorWindow() override;
  void OnEditorOpened() override;
  // The editor has one size; a size that is not positive is left to the caller.
  bool ConstrainEditorSize(int32_t& width, int32_t& height) override;
  bool MayNavigateTo(const char* url) override;
  // The first tick retries the block's creation; while the editor is open, moved results
  // go to the two output parameters and the page.
  void OnIdleTick() override;

  void RenderBlock(double* const* inputs, double* const* outputs, int32_t frames) noexcept override;
  void ResetDsp() noexcept override;

  float PublishedBpm() const noexcept { return bpmOut_.load(std::memory_order_relaxed); }
  float PublishedConfidence() const noexcept { return confidenceOut_.load(std::memory_order_relaxed); }
  const TempoBlockWriter& BlockWriter() const noexcept { return writer_; }
  const TempoDetector& Detector() const noexcept { return detector_; }

 private:
  TempoDetector detector_;
  TempoBlockWriter writer_;
  std::atomic<float> bpmOut_{0.0f};
  std::atomic<float> confidenceOut_{0.0f};
  float lastSentBpm_ = -1.0f;
  float lastSentConfidence_ = -1.0f;
  bool firstIdleTickDone_ = false;
  bool editorOpen_ = false;
};

// Builds one instance for the module's factory (called under the creation lock).
Steinberg::Vst::IAudioProcessor* CreateTempoInstance();
