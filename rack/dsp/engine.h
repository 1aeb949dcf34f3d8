#pragma once

#include <array>
#include <cstdint>

#include "rack/dsp/block_tunings.h"
#include "rack/dsp/engine_settings.h"
#include "rack/dsp/held_db_gain.h"
#include "rack/dsp/rack_bay.h"
#include "rack/dsp/safety_clipper.h"
#include "rack/dsp/tuning_env.h"

namespace tarnwell::dsp {

// The rack's signal path: input gain, ten bays in series, output gain, optional safety clipper, and
// the level readings for the meters. Works in place on 64-bit samples.
class RackEngine {
 public:
  // The longest delay any block may need: delay lines are sized for it at every prepare.
  static constexpr double kMaxDelaySeconds = 2.5;

  // Without a lookup the tuning variables come from the live process environment.
  explicit RackEngine(EnvLookup tuningLookup = nullptr);

  // Host set-up thread, or the audio thread when processing is switched off: storage is reused when
  // the rate is unchanged. Clears every block's state and rereads the tuning variables.
  // Returns false when memory ran out; blocks without their delay lines then pass audio unchanged.
  bool Prepare(double sampleRate) noexcept;

  // Audio thread. channels[0] is left, channels[1] right when channelCount is 2; a count below 1 or a
  // missing left channel leaves the audio untouched and the readings at 0. Never allocates or locks.
  void Process(double* const* channels, std::int32_t channelCount, std::int32_t frames, const EngineSettings& settings);

  // Bays skip their work on a silence once their tails have died (see RackBay); on by default.
  void SetSilenceSkip(bool on);

  // Latency of the bays that would run with these settings; any thread.
  std::int32_t LatencySamples(const EngineSettings& settings) const;

  double SampleRate() const { return sampleRate_; }
  // Whether bay `index` (0..9) passed its last block through as silence without running its block.
  bool BayIdle(int index) const {
    return index >= 0 && index < kBayCount && bays_[static_cast<std::size_t>(index)].Idle();
  }
  double TempoBpm() const { return tempoBpm_; }
  // Readings of the last processed block.
  double InputPeak() const { return inputPeak_; }
  double OutputPeak() const { return outputPeak_; }
  double GainReductionDb() const { return gainReductionDb_; }

 private:
  std::array<RackBay, kBayCount> bays_;
  TuningEnvironment tuning_;
  BlockTunings blockTunings_;
  SafetyClipper safetyClipper_;
  double sampleRate_ = 48000.0;
  double tempoBpm_ = 120.0;
  HeldDbGain inputGain_;
  HeldDbGain outputGain_;
  double inputGainLinear_ = 1.0;
  double outputGainLinear_ = 1.0;
  double gainReductionDb_ = 0.0;
  double outputPeak_ = 0.0;
  double inputPeak_ = 0.0;
  std::array<std::int32_t, kBayCount> lastType_;
};

}  // namespace tarnwell::dsp
