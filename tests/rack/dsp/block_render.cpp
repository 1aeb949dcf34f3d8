#include "block_render.h"

#include <memory>

#include "rack/dsp/tape_block.h"

using namespace tarnwell::dsp;

namespace {

// Gives the block its per-block settings, then processes.
template <typename Block, typename Configure>
StereoSignal Render(Block& block, StereoSignal signal, std::int32_t blockSize, Configure configure) {
  ProcessInBlocks(signal.left, signal.right, blockSize, [&](double* left, double* right, std::int32_t frames) {
    configure(block);
    block.Process(left, right, frames);
  });
  return signal;
}

}  // namespace

StereoSignal RenderBlock(const BlockRun& run, StereoSignal signal) {
  // Heap, not stack: the plate's state alone is several kilobytes of line objects and tables.
  switch (run.type) {
    case EffectType::Saturator: {
      auto block = std::make_unique<SaturatorBlock>();
      block->Prepare(run.sampleRate, run.tunings.saturator);
      return Render(*block, std::move(signal), run.blockSize, [&](SaturatorBlock& b) {
        b.SetCharacter(run.character);
        b.SetAmount(run.amount);
      });
    }
    case EffectType::Tape: {
      auto block = std::make_unique<TapeBlock>();
      block->Prepare(run.sampleRate);
      return Render(*block, std::move(signal), run.blockSize, [&](TapeBlock& b) { b.SetAmount(run.amount); });
    }
    case EffectType::Air: {
      auto block = std::make_unique<AirBlock>();
      block->Prepare(run.sampleRate, run.tunings.air);
      return Render(*block, std::move(signal), run.blockSize, [&](AirBlock& b) { b.SetAmount(run.amount); });
    }
    case EffectType::Plate: {
      auto block = std::make_unique<PlateBlock>();
      block->Prepare(run.sampleRate, run.tunings.plate);
      return Render(*block, std::move(signal), run.blockSize, [&](PlateBlock& b) { b.SetSize(run.amount); });
    }
    case EffectType::Shimmer: {
      auto block = std::make_unique<ShimmerBlock>();
      block->Prepare(run.sampleRate, run.tunings.shimmer);
      return Render(*block, std::move(signal), run.blockSize, [&](ShimmerBlock& b) { b.SetAmount(run.amount); });
    }
    default:
      return signal;
  }
}

StereoSignal Stereo(const std::vector<double>& signal) { return {signal, signal}; }
