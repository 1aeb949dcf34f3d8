// A plug-in on the framework bases (the editor delegate bases below them) for tests: three parameters (a continuous -10..10, a
// stepped 0..4 and a switch), with every hook it receives recorded in order.
#pragma once

#include <functional>
#include <string>
#include <vector>

#include "framework/plugin_api_base.h"

namespace plugkit::testing {

inline PluginSetup TestPluginSetup(int32_t paramCount = 3) {
  PluginSetup setup{};
  setup.paramCount = paramCount;
  setup.channelLayouts = "2-2";
  setup.pluginName = "Test Plugin";
  setup.productName = "Test Product";
  setup.vendorName = "TarnwellAudio";
  setup.versionCode = PackVersion(1, 0, 10);
  setup.uniqueId = FourCharCode("Ttst");
  setup.vendorId = FourCharCode("TwAu");
  setup.hasEditor = 1;
  setup.editorWidth = 680;
  setup.editorHeight = 588;
  setup.editorMinWidth = 700;  // given the wrong way round on purpose
  setup.editorMaxWidth = 600;
  setup.editorMinHeight = 500;
  setup.editorMaxHeight = 588;
  return setup;
}

class TestPlugin : public IPluginAPIBase {
 public:
  explicit TestPlugin(const PluginSetup& setup = TestPluginSetup()) : IPluginAPIBase(setup) {
    for (int32_t i = 0; i < NParams(); ++i) {
      IParam* param = GetParam(i);
      if (i % 3 == 0) param->SetupContinuous("Gain", 0.0, -10.0, 10.0, 0.0);
      if (i % 3 == 1) param->SetupContinuous("Mode", 0.0, 0.0, 4.0, 1.0, "", ParamFlag::Stepped);
      if (i % 3 == 2) param->SetupSwitch("On", false);
    }
  }
  ~TestPlugin() override { StopIdleTimer(); }

  void OnParamChange(int32_t paramIdx, ParamChangeOrigin origin, int32_t sampleOffset) override {
    Log("OnParamChange(" + std::to_string(paramIdx) + "," + std::to_string(static_cast<int>(origin)) + "," +
        std::to_string(sampleOffset) + ")");
  }
  void OnUIParamChanged(int32_t paramIdx, ParamChangeOrigin origin) override {
    Log("OnUIParamChanged(" + std::to_string(paramIdx) + "," + std::to_string(static_cast<int>(origin)) + ")");
  }
  void SendMidiMsgToUI(const MidiMessage& message) override {
    midiToPage.push_back(message);
    if (onMidiToPage) onMidiToPage();
  }
  void SendSysExToUI(const SysExMessage& message) override {
    sysExToPage.emplace_back(message.data, message.data + message.size);
  }
  bool HandleUIMessage(int32_t msgTag, int32_t ctrlTag, int32_t dataSize, const void* data) override {
    Log("HandleUIMessage(" + std::to_string(msgTag) + "," + std::to_string(ctrlTag) + "," +
        std::string(static_cast<const char*>(data), static_cast<size_t>(dataSize)) + ")");
    return true;
  }
  void SendParamValueToHost(int32_t paramIdx, double normalised) override {
    Log("SendParamValueToHost(" + std::to_string(paramIdx) + "," + std::to_string(normalised) + ")");
  }
  bool ResizeHostView(int32_t width, int32_t height, bool) override {
    Log("ResizeHostView(" + std::to_string(width) + "," + std::to_string(height) + ")");
    return false;
  }
  void HostSpecificSetup() override { Log("HostSpecificSetup"); }
  void OnHostKnown() override { Log("OnHostKnown(" + std::to_string(GetHostId()) + ")"); }
  void OnIdleTick() override { ++idleTicks; }

  void Log(std::string call) { calls.push_back(std::move(call)); }

  std::vector<std::string> calls;
  std::vector<MidiMessage> midiToPage;
  std::vector<std::vector<uint8_t>> sysExToPage;
  std::function<void()> onMidiToPage;
  int idleTicks = 0;
};

}  // namespace plugkit::testing
