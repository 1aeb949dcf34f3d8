#pragma once

#include <cstdint>

#include "rack/dsp/air_block.h"
#include "rack/dsp/block_tunings.h"
#include "rack/dsp/clip_block.h"
#include "rack/dsp/compressor_block.h"
#include "rack/dsp/deesser_block.h"
#include "rack/dsp/deharsh_block.h"
#include "rack/dsp/delay_block.h"
#include "rack/dsp/demud_block.h"
#include "rack/dsp/engine_settings.h"
#include "rack/dsp/gate_block.h"
#include "rack/dsp/glue_block.h"
#include "rack/dsp/plate_block.h"
#include "rack/dsp/presence_block.h"
#include "rack/dsp/saturator_block.h"
#include "rack/dsp/shimmer_block.h"
#include "rack/dsp/tape_block.h"
#include "rack/dsp/tilt_block.h"
#include "rack/dsp/trimmer_block.h"
#include "rack/dsp/tuning_env.h"
#include "rack/dsp/width_block.h"

// What every bay gets when the engine is prepared.
struct BayPrepareContext {
    double sampleRate;
    // Longest delay any block may need, for blocks that size delay lines.
    std::int32_t maxDelaySamples;
    const TuningEnvironment& tuning;
    // The blocks' tuning, read once for all bays.
    const BlockTunings& blockTunings;
};

// One audio block as the engine hands it to each bay. In mono, right is the same buffer as left.
struct BayBlock {
    double* left;
    double* right;
    std::int32_t frames;
    double tempoBpm;
};

// Holds the state of every effect block at once, so that changing a bay's effect type never
// allocates: it only resets.
class RackBay {
public:
    // May throw std::bad_alloc while sizing delay lines.
    void Prepare(const BayPrepareContext& context);
    void Reset();
    // Resets only the block of this type: a type change enters it, and every block is reset when it is
    // entered, so the others keep their lines instead of clearing megabytes on the audio thread.
    void ResetBlock(std::int32_t type);
    // Audio thread: hands the bay's settings to the block of its type and runs it in place.
    void Process(const BayControl& control, const BayBlock& block);
    // Frees every delay line; blocks without their lines pass audio unchanged until the next prepare.
    void Release() noexcept;

    // Latency the block of this type adds at this rate; 0 for types that do not delay audio.
    static std::int32_t LatencySamples(std::int32_t type, double sampleRate);

    // On by default; tests switch it off to compare against the full computation.
    void SetSilenceSkip(bool on) { silenceSkip_ = on; }
    // True while the bay outputs zeros without running its block.
    bool Idle() const { return idle_; }

private:
    void RunBlock(const BayControl& control, const BayBlock& block);
    // Brings the block's free-running clocks forward over the frames it skipped.
    void CatchUp(std::int32_t type, std::int64_t frames);
    void ForgetQuiet();

    // Silence skip: after the input has been exactly zero and the output below kQuietLevel for
    // settleFrames_ in a row under unchanged settings, every tail has died and every smoother has
    // come to rest, so the bay passes the zeros through until its input or its settings change.
    bool silenceSkip_ = true;
    bool idle_ = false;
    std::int64_t quietFrames_ = 0;
    std::int64_t settleFrames_ = 0;
    std::int64_t skippedFrames_ = 0;
    BayControl quietControl_{};
    double quietTempo_ = 0.0;

    GateBlock gate_;
    CompressorBlock compressor_;
    GlueBlock glue_;
    TrimmerBlock trimmer_;
    ClipBlock clip_;
    PresenceBlock presence_;
    TiltBlock tilt_;
    DeMudBlock deMud_;
    DeHarshBlock deHarsh_;
    WidthBlock width_;
    DeEsserBlock deEsser_;
    SaturatorBlock saturator_;
    TapeBlock tape_;
    AirBlock air_;
    DelayBlock delay_;
    PlateBlock plate_;
    ShimmerBlock shimmer_;
};
