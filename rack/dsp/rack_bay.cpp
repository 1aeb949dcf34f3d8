#include "rack/dsp/rack_bay.h"

#include <cmath>

#include "rack/dsp/clamp_unit.h"
#include "rack/dsp/latency.h"

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

}  // namespace

void RackBay::Prepare(const BayPrepareContext& context) {
    settleFrames_ = static_cast<std::int64_t>(kSettleSeconds * context.sampleRate);
    gate_.Prepare(context.sampleRate);
    compressor_.Prepare(context.sampleRate);
    glue_.Prepare(context.sampleRate);
    clip_.Prepare(context.sampleRate);
    presence_.Prepare(context.sampleRate);
    tilt_.Prepare(context.sampleRate);
    deMud_.Prepare(context.sampleRate);
    deHarsh_.Prepare(context.sampleRate);
    width_.Prepare(context.sampleRate);
    deEsser_.Prepare(context.sampleRate);
    saturator_.Prepare(context.sampleRate, context.blockTunings.saturator);
    tape_.Prepare(context.sampleRate);
    air_.Prepare(context.sampleRate, context.blockTunings.air);
    delay_.Prepare(context.sampleRate, context.maxDelaySamples);
    plate_.Prepare(context.sampleRate, context.blockTunings.plate);
    shimmer_.Prepare(context.sampleRate, context.blockTunings.shimmer);
}

void RackBay::Reset() {
    ForgetQuiet();
    for (std::int32_t type = 0; type < static_cast<std::int32_t>(EffectType::Empty); ++type) {
        ResetBlock(type);
    }
}

void RackBay::ForgetQuiet() {
    idle_ = false;
    quietFrames_ = 0;
    skippedFrames_ = 0;
}

void RackBay::ResetBlock(std::int32_t type) {
    ForgetQuiet();
    switch (static_cast<EffectType>(type)) {
        case EffectType::Gate:
            gate_.Reset();
            break;
        case EffectType::DeMud:
            deMud_.Reset();
            break;
        case EffectType::DeHarsh:
            deHarsh_.Reset();
            break;
        case EffectType::DeEsser:
            deEsser_.Reset();
            break;
        case EffectType::Compressor:
            compressor_.Reset();
            break;
        case EffectType::Presence:
            presence_.Reset();
            break;
        case EffectType::Tilt:
            tilt_.Reset();
            break;
        case EffectType::Saturator:
            saturator_.Reset();
            break;
        case EffectType::Tape:
            tape_.Reset();
            break;
        case EffectType::Air:
            air_.Reset();
            break;
        case EffectType::Width:
            width_.Reset();
            break;
        case EffectType::Plate:
            plate_.Reset();
            break;
        case EffectType::Delay:
            delay_.Reset();
            break;
        case EffectType::Trimmer:
            trimmer_.Reset();
            break;
        case EffectType::Glue:
            glue_.Reset();
            break;
        case EffectType::Clip:
            clip_.Reset();
            break;
        case EffectType::Shimmer:
            shimmer_.Reset();
            break;
        case EffectType::Empty:
            break;
    }
}

void RackBay::Release() noexcept {
    gate_.Release();
    clip_.Release();
    deHarsh_.Release();
    delay_.Release();
    plate_.Release();
    shimmer_.Release();
}

void RackBay::Process(const BayControl& control, const BayBlock& block) {
    if (!control.on) {
        return;
    }
    // The shimmer's random grain clock cannot be brought forward over a long silence in bounded time.
    if (!silenceSkip_ || control.type == static_cast<std::int32_t>(EffectType::Shimmer)) {
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
        CatchUp(control.type, skippedFrames_);
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

void RackBay::CatchUp(std::int32_t type, std::int64_t frames) {
    switch (static_cast<EffectType>(type)) {
        case EffectType::Plate:
            plate_.SkipFrames(frames);
            break;
        case EffectType::Tape:
            tape_.SkipFrames(frames);
            break;
        default:
            break;
    }
}

void RackBay::RunBlock(const BayControl& control, const BayBlock& block) {
    const double amount = ClampToUnit(control.amount);
    switch (static_cast<EffectType>(control.type)) {
        case EffectType::Gate:
            gate_.SetAmount(amount);
            gate_.Process(block.left, block.right, block.frames);
            break;
        case EffectType::Compressor:
            compressor_.SetAmount(amount);
            compressor_.SetCharacter(control.character);
            compressor_.Process(block.left, block.right, block.frames);
            break;
        case EffectType::Glue:
            glue_.SetAmount(amount);
            glue_.Process(block.left, block.right, block.frames);
            break;
        case EffectType::DeMud:
            deMud_.SetAmount(amount);
            deMud_.Process(block.left, block.right, block.frames);
            break;
        case EffectType::DeHarsh:
            deHarsh_.SetAmount(amount);
            deHarsh_.Process(block.left, block.right, block.frames);
            break;
        case EffectType::DeEsser:
            deEsser_.SetAmount(amount);
            deEsser_.Process(block.left, block.right, block.frames);
            break;
        case EffectType::Presence:
            presence_.SetAmount(amount);
            presence_.Process(block.left, block.right, block.frames);
            break;
        case EffectType::Tilt:
            tilt_.SetAmount(control.amount);
            tilt_.Process(block.left, block.right, block.frames);
            break;
        case EffectType::Width:
            width_.SetAmount(amount);
            width_.SetCharacter(control.character);
            width_.Process(block.left, block.right, block.frames);
            break;
        case EffectType::Delay:
            delay_.Configure(block.tempoBpm, control.character, control.amount);
            delay_.Process(block.left, block.right, block.frames);
            break;
        case EffectType::Trimmer:
            trimmer_.SetAmount(control.amount);
            trimmer_.Process(block.left, block.right, block.frames);
            break;
        case EffectType::Clip:
            clip_.SetAmount(amount);
            clip_.Process(block.left, block.right, block.frames);
            break;
        // These five clamp the bay's amount themselves; the Saturator and the Plate take it unclamped.
        case EffectType::Saturator:
            saturator_.SetCharacter(control.character);
            saturator_.SetAmount(control.amount);
            saturator_.Process(block.left, block.right, block.frames);
            break;
        case EffectType::Tape:
            tape_.SetAmount(control.amount);
            tape_.Process(block.left, block.right, block.frames);
            break;
        case EffectType::Air:
            air_.SetAmount(control.amount);
            air_.Process(block.left, block.right, block.frames);
            break;
        case EffectType::Plate:
            plate_.SetSize(control.amount);
            plate_.Process(block.left, block.right, block.frames);
            break;
        case EffectType::Shimmer:
            shimmer_.SetAmount(control.amount);
            shimmer_.Process(block.left, block.right, block.frames);
            break;
        case EffectType::Empty:
            break;
    }
}

std::int32_t RackBay::LatencySamples(std::int32_t type, double sampleRate) {
    switch (static_cast<EffectType>(type)) {
        case EffectType::Gate:
            return GateLookaheadSamples(sampleRate);
        case EffectType::DeHarsh:
            return DeHarshLookaheadSamples(sampleRate);
        case EffectType::Clip:
            return ClipLookaheadSamples(sampleRate);
        case EffectType::Saturator:
            return kSaturatorLatencySamples;
        default:
            return 0;
    }
}
