#include "rack/dsp/rack_bay.h"

#include "rack/dsp/latency.h"

namespace {

// NaN gives 0: a NaN amount target would poison a smoothed amount that survives every reset.
double ClampAmount(double amount) {
    if (!(amount > 0.0)) {
        return 0.0;
    }
    return amount > 1.0 ? 1.0 : amount;
}

}  // namespace

void RackBay::Prepare(const BayPrepareContext& context) {
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
    delay_.Prepare(context.sampleRate, context.maxDelaySamples);
}

void RackBay::Reset() {
    gate_.Reset();
    compressor_.Reset();
    glue_.Reset();
    trimmer_.Reset();
    clip_.Reset();
    presence_.Reset();
    tilt_.Reset();
    deMud_.Reset();
    deHarsh_.Reset();
    width_.Reset();
    deEsser_.Reset();
    delay_.Reset();
}

void RackBay::Release() noexcept {
    gate_.Release();
    clip_.Release();
    deHarsh_.Release();
    delay_.Release();
}

void RackBay::Process(const BayControl& control, const BayBlock& block) {
    if (!control.on) {
        return;
    }
    const double amount = ClampAmount(control.amount);
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
        // Blocks still to be built pass audio unchanged.
        case EffectType::Saturator:
        case EffectType::Tape:
        case EffectType::Air:
        case EffectType::Plate:
        case EffectType::Shimmer:
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
        default:
            return 0;
    }
}
