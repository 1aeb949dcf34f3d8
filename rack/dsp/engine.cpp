#include "rack/dsp/engine.h"

#include <algorithm>
#include <cmath>
#include <emmintrin.h>
#include <new>

#include "framework/denormal_mode.h"
#include "rack/dsp/dsp_math.h"
#include "rack/dsp/fast_math.h"
#include "rack/dsp/stereo_envelope.h"

namespace tarnwell::dsp {

namespace {

constexpr double kLowestSampleRate = 8000.0;
constexpr double kFallbackSampleRate = 48000.0;
constexpr double kMeterFloorDb = -240.0;
constexpr double kMeterOffset = 1e-12;
constexpr std::int32_t kEmpty = static_cast<std::int32_t>(EffectType::Empty);

double UsableSampleRate(double sampleRate) {
  return (std::isfinite(sampleRate) && sampleRate > kLowestSampleRate) ? sampleRate : kFallbackSampleRate;
}

// A gain that is not finite (a NaN or absurd dB value) mutes instead of poisoning every state.
double UsableGain(double gain) { return std::isfinite(gain) ? gain : 0.0; }

double MeterDb(double peak) {
  const double offset = peak + kMeterOffset;
  return offset > kMeterOffset ? 20.0 * FastLog10(offset) : kMeterFloorDb;
}

// Four running maxima instead of one keep the loop from waiting on each comparison in turn; held in
// two vectors, as the 64-bit Windows compiler copies scalar ones from register to register every
// step. The maximum takes its second operand when the first is NaN, so a NaN sample leaves the
// peak as it was, as std::max(peak, NaN) does.
double PeakOf(const double* samples, std::int32_t frames) {
  StereoFrame low = BothChannels(0.0);
  StereoFrame high = BothChannels(0.0);
  std::int32_t i = 0;
  for (; i + 4 <= frames; i += 4) {
    low = _mm_max_pd(StereoAbs(LoadPair(samples + i)), low);
    high = _mm_max_pd(StereoAbs(LoadPair(samples + i + 2)), high);
  }
  double peaks[4];
  StorePair(low, peaks);
  StorePair(high, peaks + 2);
  for (; i < frames; ++i) {
    peaks[0] = std::max(peaks[0], std::fabs(samples[i]));
  }
  return std::max(std::max(peaks[0], peaks[1]), std::max(peaks[2], peaks[3]));
}

// No audio signal comes near 120 dB above full scale; a 64-bit host can still hand 1e300, whose
// square overflows inside the blocks' power and envelope followers.
constexpr double kLoudestInput = 1e6;

bool IsUsableInput(double x) {
  return std::fabs(x) <= kLoudestInput;  // false for NaN too
}

// Applies the input gain and returns the peak. A sample that is not finite, or far beyond any
// level, becomes 0, so one bad sample from upstream cannot poison every filter and envelope
// until the next reset.
double ConditionInput(double* samples, std::int32_t frames, double gain) {
  if (gain == 1.0) {
    for (std::int32_t i = 0; i < frames; ++i) {
      samples[i] = IsUsableInput(samples[i]) ? samples[i] : 0.0;
    }
  } else {
    for (std::int32_t i = 0; i < frames; ++i) {
      const double x = samples[i] * gain;
      samples[i] = IsUsableInput(x) ? x : 0.0;
    }
  }
  return PeakOf(samples, frames);
}

double ApplyOutputStage(double* samples, std::int32_t frames, double gain, const SafetyClipper* clipper) {
  for (std::int32_t i = 0; i < frames; ++i) {
    samples[i] *= gain;
  }
  const double peak = PeakOf(samples, frames);
  // The clipper passes everything up to its knee unchanged, so a block below it skips the loop.
  if (clipper == nullptr || !(peak > clipper->Knee())) {
    return peak;
  }
  for (std::int32_t i = 0; i < frames; ++i) {
    samples[i] = (*clipper)(samples[i]);
  }
  return PeakOf(samples, frames);
}

bool IsActive(const BayControl& control) { return control.on && control.type != kEmpty; }

bool AnyActiveSolo(const EngineSettings& settings) {
  return std::any_of(settings.bays.begin(), settings.bays.end(),
                     [](const BayControl& control) { return IsActive(control) && control.solo; });
}

}  // namespace

RackEngine::RackEngine(EnvLookup tuningLookup) : tuning_(tuningLookup) { lastType_.fill(kEmpty); }

bool RackEngine::Prepare(double sampleRate) noexcept {
  sampleRate_ = UsableSampleRate(sampleRate);
  blockTunings_.Read(tuning_);
  const BayPrepareContext context{sampleRate_, static_cast<std::int32_t>(kMaxDelaySeconds * sampleRate_), tuning_,
                                  blockTunings_};
  bool prepared = true;
  try {
    for (RackBay& bay : bays_) {
      bay.Prepare(context);
    }
  } catch (const std::bad_alloc&) {
    for (RackBay& bay : bays_) {
      bay.Release();
    }
    prepared = false;
  }
  lastType_.fill(kEmpty);
  for (RackBay& bay : bays_) {
    bay.Reset();
  }
  gainReductionDb_ = 0.0;
  outputPeak_ = 0.0;
  return prepared;
}

void RackEngine::Process(double* const* channels, std::int32_t channelCount, std::int32_t frames,
                         const EngineSettings& settings) {
  if (channels == nullptr || channelCount < 1 || channels[0] == nullptr || frames < 0) {
    inputPeak_ = 0.0;
    outputPeak_ = 0.0;
    gainReductionDb_ = 0.0;
    return;
  }
  const plugkit::ScopedDenormalsOff flushDenormals;

  // Mono runs every stage on the one buffer, as the left of a pair whose right is identical.
  double* left = channels[0];
  double* right = (channelCount >= 2 && channels[1] != nullptr) ? channels[1] : left;
  const bool stereo = right != left;

  tempoBpm_ = settings.tempoBpm;
  inputGainLinear_ = UsableGain(inputGain_.Gain(settings.inputGainDb));
  outputGainLinear_ = UsableGain(outputGain_.Gain(settings.outputGainDb));

  double blockInputPeak = ConditionInput(left, frames, inputGainLinear_);
  if (stereo) {
    blockInputPeak = std::max(blockInputPeak, ConditionInput(right, frames, inputGainLinear_));
  }

  const bool anySolo = AnyActiveSolo(settings);
  const BayBlock block{left, right, frames, tempoBpm_};
  for (int b = 0; b < kBayCount; ++b) {
    const BayControl& control = settings.bays[static_cast<std::size_t>(b)];
    RackBay& bay = bays_[static_cast<std::size_t>(b)];
    std::int32_t& lastType = lastType_[static_cast<std::size_t>(b)];
    // Checked for every bay, on or off, so a block always starts from cleared state.
    if (control.type != lastType) {
      bay.ResetBlock(control.type);
      lastType = control.type;
    }
    if (!anySolo || control.solo) {
      bay.Process(control, block);
    }
  }

  const SafetyClipper* clipper = settings.safety ? &safetyClipper_ : nullptr;
  double blockOutputPeak = ApplyOutputStage(left, frames, outputGainLinear_, clipper);
  if (stereo) {
    blockOutputPeak = std::max(blockOutputPeak, ApplyOutputStage(right, frames, outputGainLinear_, clipper));
  }

  gainReductionDb_ = std::max(0.0, MeterDb(blockInputPeak) - MeterDb(blockOutputPeak));
  outputPeak_ = blockOutputPeak;
  inputPeak_ = blockInputPeak;
}

void RackEngine::SetSilenceSkip(bool on) {
  for (RackBay& bay : bays_) {
    bay.SetSilenceSkip(on);
  }
}

std::int32_t RackEngine::LatencySamples(const EngineSettings& settings) const {
  const bool anySolo = AnyActiveSolo(settings);
  std::int32_t latency = 0;
  for (const BayControl& control : settings.bays) {
    if (IsActive(control) && (!anySolo || control.solo)) {
      latency += RackBay::LatencySamples(control.type, sampleRate_);
    }
  }
  return latency;
}

}  // namespace tarnwell::dsp
