#include "rack/dsp/rack_bay.h"

#include <array>
#include <cmath>
#include <cstddef>
#include <utility>

namespace tarnwell::dsp {

namespace {

// -200 dBFS: tails computed in doubles decay towards zero without ever reaching it.
constexpr double kQuietLevel = 1e-10;
// Longer than the longest delay line (2.5 s), and long enough for the slowest smoother and level
// match to settle: a shorter span freezes states that would still move the sound when it returns.
constexpr double kSettleSeconds = 10.0;

bool SameControl(const BayControl& a, const BayControl& b) {
  return a.on == b.on && a.solo == b.solo && a.type == b.type && a.character == b.character &&
         (a.amount == b.amount || (a.amount != a.amount && b.amount != b.amount));
}

// Stops at the first sound, so a bay with signal pays for one sample.
bool AllZero(const double* samples, std::int32_t frames) {
  for (std::int32_t i = 0; i < frames; ++i) {
    if (samples[i] != 0.0) {
      return false;
    }
  }
  return true;
}

bool AllBelow(const double* samples, std::int32_t frames, double level) {
  bool below = true;
  for (std::int32_t i = 0; i < frames; ++i) {
    below &= std::fabs(samples[i]) < level;
  }
  return below;
}

// Whether the bay may stop running a block of this type once its tails have died.
bool SkipsSilence(std::int32_t type) {
  static constexpr auto kSkips = []<std::size_t... I>(std::index_sequence<I...>) {
    return std::array<bool, kEffectBlockCount>{EffectBlockAt<I>::kSkipsSilence...};
  }
  (std::make_index_sequence<kEffectBlockCount>{});
  return type < 0 || type >= static_cast<std::int32_t>(kEffectBlockCount) || kSkips[static_cast<std::size_t>(type)];
}

}  // namespace

void RackBay::Prepare(const BayPrepareContext& context) {
  settleFrames_ = static_cast<std::int64_t>(kSettleSeconds * context.sampleRate);
  std::apply([&](auto&... blocks) { (blocks.Prepare(context), ...); }, blocks_);
}

void RackBay::Reset() {
  ForgetQuiet();
  std::apply([](auto&... blocks) { (blocks.Reset(), ...); }, blocks_);
}

void RackBay::ForgetQuiet() {
  idle_ = false;
  quietFrames_ = 0;
  skippedFrames_ = 0;
}

void RackBay::ResetBlock(std::int32_t type) {
  ForgetQuiet();
  VisitEffectBlockType(type, [&]<typename Block>(std::type_identity<Block>) { std::get<Block>(blocks_).Reset(); });
}

void RackBay::Release() noexcept {
  std::apply([](auto&... blocks) { (blocks.Release(), ...); }, blocks_);
}

void RackBay::Process(const BayControl& control, const BayBlock& block) {
  if (!control.on) {
    return;
  }
  if (!silenceSkip_ || !SkipsSilence(control.type)) {
    RunBlock(control, block);
    return;
  }
  const bool silentInput =
      AllZero(block.left, block.frames) && (block.right == block.left || AllZero(block.right, block.frames));
  // Sound: no quiet to count, and a bay with signal pays for nothing more.
  if (!silentInput && !idle_) {
    RunBlock(control, block);
    quietFrames_ = 0;
    return;
  }
  const bool settingsHeld = SameControl(control, quietControl_) && block.tempoBpm == quietTempo_;
  if (idle_ && settingsHeld && silentInput) {
    skippedFrames_ += block.frames;
    return;
  }
  if (idle_) {
    VisitEffectBlockType(control.type, [&]<typename Block>(std::type_identity<Block>) {
      std::get<Block>(blocks_).SkipFrames(skippedFrames_);
    });
    idle_ = false;
    skippedFrames_ = 0;
  }
  RunBlock(control, block);
  const bool quiet = silentInput && AllBelow(block.left, block.frames, kQuietLevel) &&
                     (block.right == block.left || AllBelow(block.right, block.frames, kQuietLevel));
  quietFrames_ = quiet && settingsHeld ? quietFrames_ + block.frames : 0;
  quietControl_ = control;
  quietTempo_ = block.tempoBpm;
  if (quietFrames_ >= settleFrames_ && quietFrames_ > 0) {
    idle_ = true;
  }
}

void RackBay::RunBlock(const BayControl& control, const BayBlock& block) {
  VisitEffectBlockType(control.type, [&]<typename Block>(std::type_identity<Block>) {
    Block& effect = std::get<Block>(blocks_);
    effect.Configure(control, block.tempoBpm);
    effect.Process(block.left, block.right, block.frames);
  });
}

std::int32_t RackBay::LatencySamples(std::int32_t type, double sampleRate) {
  std::int32_t latency = 0;
  VisitEffectBlockType(type,
                       [&]<typename Block>(std::type_identity<Block>) { latency = Block::LatencySamples(sampleRate); });
  return latency;
}

}  // namespace tarnwell::dsp
