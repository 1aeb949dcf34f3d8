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
}

void RackBay::Reset() {
    gate_.Reset();
    compressor_.Reset();
    glue_.Reset();
}

void RackBay::Release() noexcept {
    gate_.Release();
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
        // Blocks still to be built pass audio unchanged.
        case EffectType::DeMud:
        case EffectType::DeHarsh:
        case EffectType::DeEsser:
        case EffectType::Presence:
        case EffectType::Tilt:
        case EffectType::Saturator:
        case EffectType::Tape:
        case EffectType::Air:
        case EffectType::Width:
        case EffectType::Plate:
        case EffectType::Delay:
        case EffectType::Trimmer:
        case EffectType::Clip:
        case EffectType::Shimmer:
        case EffectType::Empty:
            break;
    }
}

std::int32_t RackBay::LatencySamples(std::int32_t type, double sampleRate) {
    switch (static_cast<EffectType>(type)) {
        case EffectType::Gate:
            return GateLookaheadSamples(sampleRate);
        default:
            return 0;
    }
}
