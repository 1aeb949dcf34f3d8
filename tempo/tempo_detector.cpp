#include "tempo/tempo_detector.h"

#include <algorithm>
#include <cmath>

#include "tempo/fft.h"
#include "tempo/log_one_plus.h"

namespace {

constexpr double kFallbackRate = 48000.0;
constexpr float kInitialBandMean = 1e-6f;
constexpr double kLevelNew = 0.08, kLevelKeep = 0.92;
// The hops in four seconds, but never more than the onset ring can count (at 384 kHz the
// four seconds would be 3000 hops and no tempo could ever be published).
constexpr int32_t kMinOnsetsSeconds = 4;
constexpr double kMinBpm = 60.0, kMaxBpm = 200.0, kCentreBpm = 120.0, kWeightWidthOctaves = 0.4;
constexpr double kNear = 0.04;
constexpr int32_t kSilentToCalm = 4, kSilentToUnlock = 20;

}  // namespace

TempoDetector::TempoDetector() noexcept {
  bandMean_.fill(kInitialBandMean);
  // Evaluated in single precision from a single-precision angle; the same values as computing
  // it at every hop, without 2048 cosines per hop.
  const float twoPi = static_cast<float>(2.0 * 3.14159265358979323846);
  for (int32_t i = 0; i < kFrameSize; ++i)
    window_[static_cast<size_t>(i)] = 0.5f - 0.5f * std::cos(static_cast<float>(i) * twoPi / 2047.0f);
}

void TempoDetector::Prepare(double rate) noexcept {
  sampleRate_ = rate > 1.0 && std::isfinite(rate) ? rate : kFallbackRate;
  BuildFftTables();
  for (int32_t j = 0; j < kFrameSize / 2; ++j) {
    const float f = static_cast<float>(static_cast<double>(j) * sampleRate_ / kFrameSize);
    Band band = kNoBand;
    if (f >= 30.0f && f <= 150.0f)
      band = kLow;
    else if (f > 150.0f && f <= 2000.0f)
      band = kMid;
    else if (f > 2000.0f && f <= 8000.0f)
      band = kHigh;
    binBand_[static_cast<size_t>(j)] = band;
  }
  for (auto& history : bandHistory_) history.fill(0.0f);
  bandMean_.fill(kInitialBandMean);
  // Each candidate lag's weight towards 120 BPM; -1 marks a lag outside 60..200 BPM.
  const double k = sampleRate_ / kHopSize * 60.0;
  for (int32_t lag = 1; lag < static_cast<int32_t>(lagWeights_.size()); ++lag) {
    const double bpm = k / lag;
    const double octaves = std::log2(bpm / kCentreBpm) / kWeightWidthOctaves;
    lagWeights_[static_cast<size_t>(lag)] = bpm < kMinBpm || bpm > kMaxBpm ? -1.0 : std::exp(-0.5 * octaves * octaves);
  }
  prepared_ = true;
  Reset();
}

void TempoDetector::Reset() noexcept {
  inputRing_.fill(0.0f);
  prevLogMagnitude_.fill(0.0f);
  for (auto& history : bandHistory_) history.fill(0.0f);
  onsetRing_.fill(0.0f);
  writePos_ = hopCounter_ = onsetCount_ = onsetPos_ = hopsSinceEstimate_ = 0;
  detectedBpm = detectedConfidence = 0.0;
  trackBpm_ = trackConfidence_ = 0.0;
  trackStreak_ = 0;
  halfTimeBpm_ = 0.0;
  halfTimeCount_ = 0;
  level_ = 0.0;
  silentCount_ = lockCount_ = 0;
  locked_ = false;
}

void TempoDetector::Feed(const double* left, const double* right, int32_t nFrames) noexcept {
  if (!prepared_) Prepare(sampleRate_);
  double sumOfSquares = 0.0;
  for (int32_t i = 0; i < nFrames; ++i) {
    const double l = left != nullptr ? left[i] : 0.0;
    const double r = right != nullptr ? right[i] : l;
    float mono = static_cast<float>((l + r) * 0.5);
    // A NaN or infinity would poison the level for good; the audio itself is not touched.
    if (!std::isfinite(mono)) mono = 0.0f;
    inputRing_[static_cast<size_t>(writePos_)] = mono;
    sumOfSquares += mono * mono;
    writePos_ = (writePos_ + 1) % kFrameSize;
    if (++hopCounter_ < kHopSize) continue;
    hopCounter_ = 0;
    for (int32_t j = 0; j < kFrameSize; ++j)
      frame_[static_cast<size_t>(j)] = inputRing_[static_cast<size_t>((writePos_ + j) % kFrameSize)];
    AnalyzeHop();
    if (++hopsSinceEstimate_ < kHopsPerEstimate) continue;
    hopsSinceEstimate_ = 0;
    EstimateTempo();
  }
  const double rms = nFrames >= 1 ? std::sqrt(sumOfSquares / nFrames) : 0.0;
  const double level = kLevelNew * rms + kLevelKeep * level_;
  // Finite samples whose squares overflow single precision would stick the level at infinity.
  if (std::isfinite(level)) level_ = level;
}

void TempoDetector::AnalyzeHop() noexcept {
  for (int32_t i = 0; i < kFrameSize; ++i) {
    spectrum_[2 * static_cast<size_t>(i)] = window_[static_cast<size_t>(i)] * frame_[static_cast<size_t>(i)];
    spectrum_[2 * static_cast<size_t>(i) + 1] = 0.0f;
  }
  ComplexFft(spectrum_.data(), kFrameSize, 0);

  std::array<float, 3> flux{};
  for (int32_t j = 1; j < kFrameSize / 2; ++j) {
    const auto slot = static_cast<size_t>(FftBinIndex(kFrameSize, j));
    const float re = spectrum_[2 * slot], im = spectrum_[2 * slot + 1];
    const float v = LogOnePlus(10.0f * std::sqrt(re * re + im * im));
    const float d = v - prevLogMagnitude_[static_cast<size_t>(j)];
    prevLogMagnitude_[static_cast<size_t>(j)] = v;
    const Band band = binBand_[static_cast<size_t>(j)];
    if (d > 0.0f && band != kNoBand) flux[static_cast<size_t>(band)] += d;
  }

  std::array<float, 3> onset{};
  for (size_t b = 0; b < 3; ++b) {
    onset[b] = std::max(0.0f, flux[b] - bandMean_[b]);
    auto& history = bandHistory_[b];
    std::copy(history.begin() + 1, history.end(), history.begin());
    history.back() = flux[b];
    float sum = 0.0f;
    for (float x : history) sum += x;
    bandMean_[b] = sum / static_cast<float>(kBandHistory);
  }
  float value = onset[kLow];
  value += 0.8f * onset[kMid];
  value += 0.5f * onset[kHigh];
  onsetRing_[static_cast<size_t>(onsetPos_)] = value;
  onsetPos_ = (onsetPos_ + 1) % kOnsetRingSize;
  if (onsetCount_ < kOnsetRingSize) ++onsetCount_;
}

void TempoDetector::Clear() noexcept {
  detectedBpm = 0.0;
  detectedConfidence = 0.0;
}

double TempoDetector::Autocorrelation(int32_t lag, int32_t n) const noexcept {
  double sum = 0.0;
  for (int32_t i = 0; i + lag < n; ++i)
    sum += static_cast<double>(workBuffer_[static_cast<size_t>(i + lag)]) *
           static_cast<double>(workBuffer_[static_cast<size_t>(i)]);
  return sum;
}

void TempoDetector::EstimateTempo() noexcept {
  // 1. Silence calms the published confidence and empties the tracker; a long one unlocks.
  if (level_ < kSilenceLevel) {
    ++silentCount_;
    if (silentCount_ >= kSilentToCalm) {
      detectedConfidence = detectedBpm > 0.0 ? 0.35 : 0.0;
      trackBpm_ = trackConfidence_ = 0.0;
      trackStreak_ = 0;
    }
    if (silentCount_ >= kSilentToUnlock && locked_) {
      locked_ = false;
      detectedBpm = detectedConfidence = 0.0;
      lockCount_ = 0;
    }
  } else {
    silentCount_ = 0;
  }

  // 2. Enough history.
  const auto minOnsets = static_cast<int32_t>(
      std::min(sampleRate_ * kMinOnsetsSeconds / kHopSize, static_cast<double>(kOnsetRingSize)));
  if (onsetCount_ < minOnsets) return Clear();
  const int32_t n = std::min(onsetCount_, kMaxHistory);
  if (n < 1) return Clear();

  // 3., 4. The n newest onset values, oldest first, without their mean.
  double total = 0.0;
  for (int32_t i = 0; i < n; ++i) {
    const float value = onsetRing_[static_cast<size_t>((onsetPos_ - n + i + kOnsetRingSize) % kOnsetRingSize)];
    workBuffer_[static_cast<size_t>(i)] = value;
    total += value;
  }
  const auto mean = static_cast<float>(total / n);
  double energy = 0.0, e2 = 0.0;
  for (int32_t i = 0; i < n; ++i) {
    float& w = workBuffer_[static_cast<size_t>(i)];
    w -= mean;
    energy += w * w;
    e2 += static_cast<double>(w) * static_cast<double>(w);
  }
  if (energy <= 1e-9) return Clear();

  // 5., 6. The lag with the best score, weighted towards 120 BPM; a tie keeps the shorter lag.
  const auto maxLag = static_cast<int32_t>(std::min(std::ceil(sampleRate_ / kHopSize), static_cast<double>(n / 2)));
  if (maxLag < 1) return Clear();
  const double k = sampleRate_ / kHopSize * 60.0;
  double bestScore = -1e30;
  int32_t bestLag = 0;
  for (int32_t lag = 1; lag <= maxLag; ++lag) {
    const double weight = lagWeights_[static_cast<size_t>(lag)];
    if (weight < 0.0) continue;
    const double score = weight * Autocorrelation(lag, n);
    if (score > bestScore) {
      bestScore = score;
      bestLag = lag;
    }
  }
  if (bestLag < 1 || bestScore <= 0.0) return Clear();

  // 7. Parabolic refinement around the best lag.
  double lag = bestLag;
  if (bestLag > 1 && bestLag < maxLag) {
    const double y0 = Autocorrelation(bestLag - 1, n), y1 = Autocorrelation(bestLag, n),
                 y2 = Autocorrelation(bestLag + 1, n);
    const double c = y0 - 2.0 * y1 + y2;
    if (y1 >= y0 && y1 >= y2 && c < -1e-12) {
      const double offset = 0.5 * (y0 - y2) / c;
      if (std::isfinite(offset)) lag += std::clamp(offset, -0.5, 0.5);
    }
  }
  lag = std::clamp(lag, 1.0, static_cast<double>(maxLag));
  if (!std::isfinite(lag) || lag <= 0.0) return Clear();
  double bpm = k / lag;
  if (!std::isfinite(bpm) || bpm <= 0.0) return Clear();

  // 8. Folding into 55..210.
  for (int32_t i = 0; i < 16 && bpm < 55.0; ++i) bpm *= 2.0;
  for (int32_t i = 0; i < 16 && bpm > 210.0; ++i) bpm *= 0.5;

  // 9. Confidence from the unrefined best lag's weighted score.
  const double ratio = e2 > 1e-12 ? bestScore / e2 : 0.0;
  double conf = std::clamp((ratio - 0.03) / 0.3, 0.0, 1.0);

  // 10. A fast tempo with a strong autocorrelation at twice the lag proposes half tempo.
  double cand = bpm;
  if (2 * bestLag < n) {
    const double a2 = Autocorrelation(2 * bestLag, n), a1 = Autocorrelation(bestLag, n);
    if (bpm > 145.0 && bpm <= 210.0 && a1 > 1e-12 && a2 >= 0.45 * a1 && bpm * 0.5 >= kMinBpm) cand = bpm * 0.5;
  }

  // 11. Half time is adopted on the third agreeing proposal.
  double t = bpm;
  if (cand == bpm) {
    halfTimeBpm_ = 0.0;
    halfTimeCount_ = 0;
  } else if (halfTimeBpm_ > 0.0 && std::fabs(cand - halfTimeBpm_) / halfTimeBpm_ < kNear) {
    ++halfTimeCount_;
    halfTimeBpm_ = 0.3 * cand + 0.7 * halfTimeBpm_;
    if (halfTimeCount_ >= 3) {
      t = halfTimeBpm_;
      detectedBpm = t;
      trackBpm_ = t;
      trackStreak_ = 3;
      locked_ = false;
      lockCount_ = 0;
      detectedConfidence = trackConfidence_ = std::max(0.4, conf);
      halfTimeBpm_ = 0.0;
      halfTimeCount_ = 0;
    }
  } else {
    halfTimeCount_ = 1;
    halfTimeBpm_ = cand;
  }

  // 12. Tracker.
  double track = t;
  if (trackBpm_ > 0.0 && std::fabs(t - trackBpm_) / trackBpm_ < kNear) {
    ++trackStreak_;
    conf = 0.3 * conf + 0.7 * trackConfidence_;
    track = 0.3 * t + 0.7 * trackBpm_;
  } else {
    trackStreak_ = 1;
  }
  trackConfidence_ = conf;
  trackBpm_ = track;

  // 13. Lock counter, on the published values as they stand.
  if (detectedBpm > 0.0 && detectedConfidence >= 0.55) {
    if (++lockCount_ >= 8) locked_ = true;
  } else if (!locked_) {
    lockCount_ = 0;
  }

  // 14., 15. Decision.
  const bool near = detectedBpm > 0.0 && std::fabs(t - detectedBpm) / detectedBpm < kNear;
  if (detectedBpm <= 0.0) {
    if (trackStreak_ >= 3) {
      detectedConfidence = conf;
      if (conf >= 0.3) detectedBpm = track;
    }
  } else if (locked_) {
    if (trackStreak_ >= 24 && conf >= 0.8) {
      lockCount_ = 0;
      detectedBpm = track;
      detectedConfidence = conf;
    } else {
      detectedConfidence = std::max(0.99 * detectedConfidence, 0.4);
    }
  } else if (near) {
    detectedBpm = 0.85 * detectedBpm + 0.15 * track;
    detectedConfidence = std::max(0.9 * detectedConfidence, conf);
  } else if (trackStreak_ >= 16 && conf >= 0.65) {
    detectedConfidence = conf;
    detectedBpm = track;
  } else {
    detectedConfidence = std::max(0.97 * detectedConfidence, 0.35);
  }
}
