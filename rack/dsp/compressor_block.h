#pragma once

#include <cstdint>

#include "rack/dsp/biquad.h"

// Vocal compressor with four characters (ratio, knee, timing, side-chain high-pass, saturation) and an
// automatic make-up that cancels the slowly averaged gain change and adds 1 dB, so only level changes
// are shaped. The amount is smoothed once per block, so the output depends on the block size.
class CompressorBlock {
public:
    void Prepare(double sampleRate);
    // Out-of-range characters are kept as given and clamped where they are used.
    void SetCharacter(std::int32_t character);
    void SetAmount(double target) { amountTarget_ = target; }
    // Audio thread. Left and right may be the same buffer (mono).
    void Process(double* left, double* right, std::int32_t frames);
    void Reset();

private:
    struct BlockShape;
    template <int Character>
    void ProcessFrames(double* left, double* right, std::int32_t frames, const BlockShape& shape);
    template <int Character>
    void ProcessChunk(double* left, double* right, std::int32_t frames, const BlockShape& shape);
    void DesignSideChainHighPass();

    double sampleRate_ = 48000.0;
    std::int32_t character_ = 0;
    double amountTarget_ = 0.0;
    double amount_ = 0.0;
    double amountCoefficient_ = 0.999;
    double gainCoefficient_ = 0.9999;
    double slowMakeupCoefficient_ = 0.9999;
    double fastMakeupCoefficient_ = 0.9999;
    Biquad sideChainHighPass_;
    Biquad sideChainLowPass_;
    double envelope_ = 0.0;
    // The envelope's coefficient for the time it was last taken at; 0 ms (never used) forces the next.
    double coefficientTimeMs_ = 0.0;
    double timeCoefficient_ = 0.0;
    // Before shaping: it sets the next frame's release time.
    double lastGainChangeDb_ = 0.0;
    double smoothedGain_ = 1.0;
    double smoothedMakeupDb_ = 0.0;
    bool amountMoving_ = false;
};
