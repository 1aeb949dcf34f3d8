#include "rack_render.h"

using namespace tarnwell::dsp;

EngineSettings SingleBaySettings(EffectType type, double amount, std::int32_t character) {
  EngineSettings settings;
  settings.safety = false;
  settings.bays[0] = BayControl{true, false, static_cast<std::int32_t>(type), character, amount};
  return settings;
}

void RenderStereo(RackEngine& engine, StereoSignal& signal, const EngineSettings& settings, std::int32_t blockSize) {
  ProcessInBlocks(signal.left, signal.right, blockSize, [&](double* left, double* right, std::int32_t frames) {
    double* channels[2] = {left, right};
    engine.Process(channels, 2, frames, settings);
  });
}

void RenderMono(RackEngine& engine, std::vector<double>& signal, const EngineSettings& settings,
                std::int32_t blockSize) {
  const auto total = static_cast<std::int32_t>(signal.size());
  for (std::int32_t start = 0; start < total; start += blockSize) {
    double* channels[1] = {signal.data() + start};
    engine.Process(channels, 1, std::min(blockSize, total - start), settings);
  }
}
