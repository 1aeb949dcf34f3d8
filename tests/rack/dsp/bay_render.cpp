#include "bay_render.h"

StereoSignal RenderFreshEngine(const tarnwell::dsp::EngineSettings& settings, StereoSignal signal, double sampleRate,
                               std::int32_t blockSize) {
  tarnwell::dsp::RackEngine engine;
  engine.Prepare(sampleRate);
  RenderStereo(engine, signal, settings, blockSize);
  return signal;
}

std::vector<double> RenderOneBay(const std::vector<double>& input, tarnwell::dsp::EffectType type, double amount,
                                 std::int32_t character, double sampleRate) {
  return RenderFreshEngine(SingleBaySettings(type, amount, character), {input, input}, sampleRate).left;
}
