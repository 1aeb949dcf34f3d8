// The per-block settings snapshot built from the parameters. Runs on the audio thread for
// every block and on the UI thread for latency updates, so it only reads atomic values.
#pragma once

#include "framework/editor_delegate.h"
#include "rack/dsp/engine_settings.h"

namespace tarnwell {

// The bays, gains and safety from the parameters' plain values; tempoBpm is the host's tempo
// when above 1 BPM, else 120. The tempo link is applied on top by the caller.
dsp::EngineSettings SnapshotFromParams(const plugkit::IEditorDelegate& params, double hostTempoBpm) noexcept;

}  // namespace tarnwell
