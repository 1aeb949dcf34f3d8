#include "fuzz/fuzzed_plugin.h"

#include <cmath>
#include <cstdio>
#include <string>

#include "fuzz/fuzz_check.h"
#include "host/bus_channels.h"

namespace tarnwell::fuzz {

using namespace Steinberg;
using namespace Steinberg::Vst;

namespace {

constexpr double kRate = 48000.0;
constexpr int kMaxBlock = 256;

}  // namespace

FuzzedPlugin::FuzzedPlugin(IAudioProcessor* plugin) {
  IComponent* component = nullptr;
  plugin->queryInterface(IComponent::iid, reinterpret_cast<void**>(&component));
  plugin->release();
  std::string error;
  if (!instance_.Adopt(component, "Fuzz Host", &error)) {
    std::fprintf(stderr, "%s\n", error.c_str());
    Broken("the plug-in is created");
  }
  Require(instance_.Start(kRate, kMaxBlock), "the plug-in starts");
}

void FuzzedPlugin::CheckParametersInRange() {
  IEditController* controller = instance_.Controller();
  for (int32 i = 0; i < controller->getParameterCount(); ++i) {
    ParameterInfo info{};
    if (controller->getParameterInfo(i, info) != kResultOk) continue;
    const ParamValue value = controller->getParamNormalized(info.id);
    Require(value >= 0.0 && value <= 1.0, "every parameter reads in range");
  }
}

void FuzzedPlugin::ProcessAndCheck(int frames) {
  IComponent* component = instance_.Component();
  const size_t n = static_cast<size_t>(frames);
  std::vector<std::vector<float>> in(static_cast<size_t>(host::TotalChannelCount(component, kInput)),
                                     std::vector<float>(n));
  std::vector<std::vector<float>> out(static_cast<size_t>(host::TotalChannelCount(component, kOutput)),
                                      std::vector<float>(n));
  std::vector<float*> inPtrs, outPtrs;
  for (auto& channel : in) {
    for (size_t i = 0; i < n; ++i)
      channel[i] = 0.5f * std::sin(0.05f * static_cast<float>(position_ + static_cast<int64_t>(i)));
    inPtrs.push_back(channel.data());
  }
  for (auto& channel : out) outPtrs.push_back(channel.data());
  const uint64_t before = instance_.AllocationsDuringProcess();
  Require(instance_.Process(inPtrs, outPtrs, frames) == kResultOk, "a process call succeeds");
  Require(instance_.AllocationsDuringProcess() == before, "a process call allocates nothing");
  for (const auto& channel : out)
    for (float s : channel) Require(std::isfinite(s), "the output is finite");
  position_ += frames;
}

std::vector<uint8_t> FuzzedPlugin::Saved() {
  std::vector<uint8_t> chunk;
  Require(instance_.SaveState(&chunk), "the state is saved");
  return chunk;
}

void FuzzedPlugin::SetStateAndCheck(const uint8_t* data, size_t size) {
  instance_.LoadState(std::vector<uint8_t>(data, data + size));
  CheckParametersInRange();
  ProcessAndCheck(kMaxBlock);
  const std::vector<uint8_t> saved = Saved();
  Require(instance_.LoadState(saved), "a saved state is taken back");
  Require(Saved() == saved, "a saved state reads back as itself");
}

}  // namespace tarnwell::fuzz
