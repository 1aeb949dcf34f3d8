#include "tempo/tarnwell_tempo.h"

#include <algorithm>
#include <cmath>
#include <cstring>

#include "framework/plugin_setup.h"
#include "product/product_identity.h"
#include "tempo/tempo_block_name.h"
#include "webview/navigation_guard.h"
#include "webview/web_root.h"

namespace {

constexpr double kMaxPublishedBpm = 300.0;
constexpr float kBpmMove = 0.05f;
constexpr float kConfidenceMove = 0.01f;
constexpr double kLowestOwnRate = 8000.0;
constexpr double kFallbackRate = 48000.0;

plugkit::PluginSetup TempoSetup() {
  plugkit::PluginSetup setup = tarnwell::ProductSetup();
  setup.paramCount = kTempoParamCount;
  setup.channelLayouts = "2-2";
  setup.pluginName = "Tarnwell Tempo";
  setup.productName = "Tarnwell Tempo";
  setup.uniqueId = plugkit::FourCharCode("Ttmp");
  setup.hasEditor = 1;
  setup.editorWidth = setup.editorMinWidth = setup.editorMaxWidth = TarnwellTempo::kEditorWidth;
  setup.editorHeight = setup.editorMinHeight = setup.editorMaxHeight = TarnwellTempo::kEditorHeight;
  setup.extraText1 = "";
  setup.extraText2 = "";
  return setup;
}

double TempoModeFactor(double modeValue) noexcept {
  switch (static_cast<int32_t>(modeValue + 0.5)) {
    case 1:
      return 0.5;
    case 2:
      return 2.0;
    default:
      return 1.0;
  }
}

}  // namespace

TarnwellTempo::TarnwellTempo(const std::string& blockName) : IPluginVST3(TempoSetup()), writer_(blockName.c_str()) {
  GetParam(ParamBpm)->SetupContinuous("BPM", 0.0, 0.0, kMaxPublishedBpm, 0.1, "BPM");
  GetParam(ParamConfidence)->SetupContinuous("Confidence", 0.0, 0.0, 1.0, 0.01, "");
  GetParam(ParamTempoMode)->SetupChoiceList("Tempo Mode", 0, {"Auto", "Half", "Double"});
  writer_.CreateTempoBlock();
  SetEditorInitCallback([this] { plugkit::LoadWebUI(*this); });
}

// The timer calls into this object; it must stop before this part of the object is gone.
TarnwellTempo::~TarnwellTempo() {
  StopIdleTimer();
  writer_.CloseTempoBlock();
}

void TarnwellTempo::DetachEditorWindow() {
  editorOpen_ = false;
  IPluginVST3::DetachEditorWindow();
}

void TarnwellTempo::OnEditorOpened() {
  editorOpen_ = true;
  IPluginVST3::OnEditorOpened();
}

bool TarnwellTempo::ConstrainEditorSize(int32_t& width, int32_t& height) {
  if (width <= 0 || height <= 0 || (width == kEditorWidth && height == kEditorHeight)) return true;
  width = kEditorWidth;
  height = kEditorHeight;
  return false;
}

bool TarnwellTempo::MayNavigateTo(const char* url) { return plugkit::MayNavigateWithinWebFolder(*this, url); }

void TarnwellTempo::OnIdleTick() {
  if (!firstIdleTickDone_) {
    firstIdleTickDone_ = true;
    writer_.CreateTempoBlock();
  }
  if (!editorOpen_) return;
  const float bpm = PublishedBpm();
  const float confidence = PublishedConfidence();
  if (!(std::fabs(bpm - lastSentBpm_) > kBpmMove) && !(std::fabs(confidence - lastSentConfidence_) > kConfidenceMove))
    return;
  lastSentBpm_ = bpm;
  lastSentConfidence_ = confidence;
  // Both go together even when only one moved.
  for (const auto& [index, value] : {std::pair{ParamBpm, bpm}, std::pair{ParamConfidence, confidence}}) {
    plugkit::IParam* param = GetParam(index);
    const double stored = param->SetValue(value);
    SendParamValueToUI(index, param->NormaliseValue(stored), true);
  }
}

void TarnwellTempo::ResetDsp() noexcept {
  detector_.Prepare(SampleRate() > kLowestOwnRate ? SampleRate() : kFallbackRate);
}

void TarnwellTempo::RenderBlock(double* const* inputs, double* const* outputs, int32_t frames) noexcept {
  if (inputs == nullptr || inputs[0] == nullptr || outputs == nullptr || outputs[0] == nullptr) return;
  const size_t bytes = sizeof(double) * static_cast<size_t>(std::max(frames, 0));
  const int32_t outputChannels = ConnectedChannelCount(plugkit::BusDirection::Output);
  for (int32_t i = 0; i < outputChannels; ++i)
    if (outputs[i] != nullptr && inputs[i] != nullptr && outputs[i] != inputs[i])
      std::memmove(outputs[i], inputs[i], bytes);

  const double* right = ConnectedChannelCount(plugkit::BusDirection::Input) > 1 ? inputs[1] : nullptr;
  detector_.Feed(inputs[0], right, frames);
  const double factor = TempoModeFactor(GetParam(ParamTempoMode)->Value());
  const auto bpm = static_cast<float>(std::min(factor * detector_.detectedBpm, kMaxPublishedBpm));
  const auto confidence = static_cast<float>(detector_.detectedConfidence);
  bpmOut_.store(bpm, std::memory_order_relaxed);
  confidenceOut_.store(confidence, std::memory_order_relaxed);
  writer_.WriteTempoBlock(bpm, confidence);
}

Steinberg::Vst::IAudioProcessor* CreateTempoInstance() {
  return static_cast<Steinberg::Vst::IAudioProcessor*>(new TarnwellTempo(TempoBlockNameFromEnvironment()));
}
