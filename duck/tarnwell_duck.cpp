#include "duck/tarnwell_duck.h"

#include <algorithm>
#include <cstring>

#include "framework/plugin_setup.h"
#include "product/product_identity.h"
#include "webview/navigation_guard.h"
#include "webview/web_root.h"

namespace {

constexpr int32_t kMainLeft = 0, kMainRight = 1, kKeyLeft = 2, kKeyRight = 3;
constexpr double kMaxDepthDb = 24.0;
constexpr double kThresholdDb = -30.0;
constexpr double kLowestOwnRate = 8000.0;
constexpr double kFallbackRate = 48000.0;

plugkit::PluginSetup DuckSetup() {
  plugkit::PluginSetup setup = tarnwell::ProductSetup();
  setup.paramCount = kDuckParamCount;
  setup.channelLayouts = "2.2-2";
  setup.pluginName = "Tarnwell Duck";
  setup.productName = "Tarnwell Duck";
  setup.uniqueId = plugkit::FourCharCode("Tdck");
  setup.hasEditor = 1;
  setup.editorWidth = setup.editorMinWidth = setup.editorMaxWidth = TarnwellDuck::kEditorWidth;
  setup.editorHeight = setup.editorMinHeight = setup.editorMaxHeight = TarnwellDuck::kEditorHeight;
  setup.extraText1 = "";
  setup.extraText2 = "";
  return setup;
}

}  // namespace

TarnwellDuck::TarnwellDuck() : IPluginVST3(DuckSetup()) {
  GetParam(ParamAmount)->SetupContinuous("Amount", 50.0, 0.0, 100.0, 1.0, "%");
  GetParam(ParamCharacter)->SetupChoiceList("Character", 0, {"Sing", "Speak"});
  GetParam(ParamOn)->SetupSwitch("On", true, "", 0, "", "off", "on");
  SetEditorInitCallback([this] { plugkit::LoadWebUI(*this); });
}

// The timer calls into this object; it must stop before this part of the object is gone.
TarnwellDuck::~TarnwellDuck() { StopIdleTimer(); }

bool TarnwellDuck::ConstrainEditorSize(int32_t& width, int32_t& height) {
  if (width <= 0 || height <= 0 || (width == kEditorWidth && height == kEditorHeight)) return true;
  width = kEditorWidth;
  height = kEditorHeight;
  return false;
}

bool TarnwellDuck::MayNavigateTo(const char* url) { return plugkit::MayNavigateWithinWebFolder(*this, url); }

void TarnwellDuck::ResetDsp() noexcept {
  ducker_.sampleRate = SampleRate() > kLowestOwnRate ? SampleRate() : kFallbackRate;
  ducker_.Configure();
}

void TarnwellDuck::RenderBlock(double* const* inputs, double* const* outputs, int32_t frames) noexcept {
  if (inputs == nullptr || inputs[kMainLeft] == nullptr || outputs == nullptr || outputs[kMainLeft] == nullptr) return;
  const size_t bytes = sizeof(double) * static_cast<size_t>(std::max(frames, 0));
  const auto copy = [bytes](double* out, const double* in) {
    if (out != nullptr && in != nullptr && out != in) std::memmove(out, in, bytes);
  };
  copy(outputs[kMainLeft], inputs[kMainLeft]);
  const bool stereoOut = ConnectedChannelCount(plugkit::BusDirection::Output) > 1;
  if (stereoOut) copy(outputs[kMainRight], inputs[kMainRight]);
  if (GetParam(ParamOn)->Value() < 0.5) return;

  // A side-chain the host fills with a copy of the main input is no key of its own. A mono
  // side-chain keys both channels from its one connected channel.
  const double* keyLeft = nullptr;
  const double* keyRight = nullptr;
  using plugkit::BusDirection;
  if (IsChannelConnected(BusDirection::Input, kKeyLeft) && inputs[kKeyLeft] != nullptr &&
      std::memcmp(inputs[kKeyLeft], inputs[kMainLeft], bytes) != 0) {
    keyLeft = inputs[kKeyLeft];
    keyRight = IsChannelConnected(BusDirection::Input, kKeyRight) && inputs[kKeyRight] != nullptr ? inputs[kKeyRight]
                                                                                                  : inputs[kKeyLeft];
  }

  ducker_.depthDb = GetParam(ParamAmount)->Value() / 100.0 * kMaxDepthDb;
  ducker_.thresholdDb = kThresholdDb;
  ducker_.character = static_cast<int32_t>(GetParam(ParamCharacter)->Value() + 0.5);
  ducker_.Configure();
  // With one output connected the right path runs on the second output's scratch, so that
  // the left channel is ducked once.
  ducker_.Process(outputs[kMainLeft], outputs[kMainRight], frames, keyLeft, keyRight);
}

Steinberg::Vst::IAudioProcessor* CreateDuckInstance() {
  return static_cast<Steinberg::Vst::IAudioProcessor*>(new TarnwellDuck());
}
