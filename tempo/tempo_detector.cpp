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
// Two tempos agree within 4 % of the older one.
constexpr double kNear = 0.04;
// Counted in estimates (a quarter of a second each at 48 kHz): silence calms the published tempo
// after 4 and clears a locked one after 20.
constexpr int32_t kSilentToCalm = 4, kSilentToUnlock = 20;

// A centred history with less energy than this holds no onsets worth a tempo.
constexpr double kMinHistoryEnergy = 1e-9;
// A best lag whose neighbours are flatter than this is not refined.
constexpr double kFlatPeak = 1e-12;
// The raw tempo is folded by octaves into 55..210 BPM, the tempos the tracker follows.
constexpr double kFoldLowBpm = 55.0, kFoldHighBpm = 210.0;
constexpr int32_t kMaxFolds = 16;
// The best lag's score as a share of the history's energy maps to confidence 0 at 0.03 and
// to 1 at 0.33.
constexpr double kScoreForNoConfidence = 0.03, kScoreSpanToFullConfidence = 0.3;

// Half time: a tempo from 145 BPM up whose history repeats at twice its period at least 0.45 as
// strongly proposes half the tempo; three agreeing proposals publish it at once, at confidence
// 0.4 or more.
constexpr double kHalfTimeFromBpm = 145.0, kHalfTimeEchoShare = 0.45, kNoCorrelation = 1e-12;
constexpr int32_t kHalfTimeProposals = 3;
constexpr double kHalfTimeMinConfidence = 0.4;

// An agreeing estimate (or half-time proposal) moves the value it agrees with by 30 %.
constexpr double kAgreeingNew = 0.3, kAgreeingKeep = 0.7;

// The first tempo is published after 3 agreeing estimates, at confidence 0.3 or more (a less
// sure one publishes only its confidence).
constexpr int32_t kAgreeingToPublish = 3;
constexpr double kConfidenceToPublish = 0.3;
// A lock comes after 8 estimates at a published confidence of 0.55 or more (about 2 s).
constexpr int32_t kEstimatesToLock = 8;
constexpr double kConfidenceToLock = 0.55;
// A lock moves only after 24 agreeing estimates at confidence 0.8 or more; until then its
// confidence fades by 1 % an estimate to no less than 0.4 (where silence calms it).
constexpr int32_t kAgreeingToMoveLock = 24;
constexpr double kConfidenceToMoveLock = 0.8, kLockedConfidenceKeep = 0.99, kLockedMinConfidence = 0.4;
// Unlocked, a small tempo change is followed smoothly (15 % an estimate); a jump needs 16
// agreeing estimates at confidence 0.65 or more, and until then the published confidence fades
// by 3 % an estimate to no less than 0.35, the confidence silence calms a tempo to.
constexpr double kFollowNew = 0.15, kFollowKeep = 0.85, kFollowConfidenceKeep = 0.9;
constexpr int32_t kAgreeingToJump = 16;
constexpr double kConfidenceToJump = 0.65, kUnsureConfidenceKeep = 0.97, kCalmConfidence = 0.35;

bool Agrees(double tempo, double with) noexcept { return std::fabs(tempo - with) / with < kNear; }

double FoldIntoRange(double bpm) noexcept {
  for (int32_t i = 0; i < kMaxFolds && bpm < kFoldLowBpm; ++i) bpm *= 2.0;
  for (int32_t i = 0; i < kMaxFolds && bpm > kFoldHighBpm; ++i) bpm *= 0.5;
  return bpm;
}

double ConfidenceOfScore(double score, double energy) noexcept {
  return std::clamp((score / energy - kScoreForNoConfidence) / kScoreSpanToFullConfidence, 0.0, 1.0);
}

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
  for (int32_t lag = 1; lag < static_cast<int32_t>(lagWeights_.size()); ++lag) {
    const double bpm = HopsPerMinute() / lag;
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

double TempoDetector::HopsPerMinute() const noexcept { return sampleRate_ / kHopSize * 60.0; }

void TempoDetector::EstimateTempo() noexcept {
  CalmOnSilence();
  const int32_t n = HistoryLength();
  if (n < 1) return Clear();
  const double energy = CentreHistory(n);
  if (energy <= kMinHistoryEnergy) return Clear();
  // Lags up to one second: 60 BPM.
  const auto maxLag = static_cast<int32_t>(std::min(std::ceil(sampleRate_ / kHopSize), static_cast<double>(n / 2)));
  if (maxLag < 1) return Clear();
  const LagScore best = BestLag(n, maxLag);
  if (best.lag < 1) return Clear();
  const double lag = RefineLag(best.lag, maxLag, n);
  if (!std::isfinite(lag) || lag <= 0.0) return Clear();
  double bpm = HopsPerMinute() / lag;
  if (!std::isfinite(bpm) || bpm <= 0.0) return Clear();
  bpm = FoldIntoRange(bpm);
  // The confidence comes from the unrefined best lag's weighted score.
  const double confidence = ConfidenceOfScore(best.score, energy);
  const double tempo = CheckHalfTime(bpm, best.lag, n, confidence);
  Track(tempo, confidence);
  CountTowardsLock();
  Publish(tempo);
}

// Silence calms the published confidence and empties the tracker; a long one unlocks.
void TempoDetector::CalmOnSilence() noexcept {
  if (level_ < kSilenceLevel) {
    ++silentCount_;
  } else {
    silentCount_ = 0;
    return;
  }
  if (silentCount_ >= kSilentToCalm) {
    detectedConfidence = detectedBpm > 0.0 ? kCalmConfidence : 0.0;
    trackBpm_ = trackConfidence_ = 0.0;
    trackStreak_ = 0;
  }
  if (silentCount_ >= kSilentToUnlock && locked_) {
    locked_ = false;
    detectedBpm = detectedConfidence = 0.0;
    lockCount_ = 0;
  }
}

int32_t TempoDetector::HistoryLength() const noexcept {
  const auto minOnsets =
      static_cast<int32_t>(std::min(sampleRate_ * kMinOnsetsSeconds / kHopSize, static_cast<double>(kOnsetRingSize)));
  return onsetCount_ < minOnsets ? 0 : std::min(onsetCount_, kMaxHistory);
}

double TempoDetector::CentreHistory(int32_t n) noexcept {
  double total = 0.0;
  for (int32_t i = 0; i < n; ++i) {
    const float value = onsetRing_[static_cast<size_t>((onsetPos_ - n + i + kOnsetRingSize) % kOnsetRingSize)];
    workBuffer_[static_cast<size_t>(i)] = value;
    total += value;
  }
  const auto mean = static_cast<float>(total / n);
  double energy = 0.0;
  for (int32_t i = 0; i < n; ++i) {
    float& w = workBuffer_[static_cast<size_t>(i)];
    w -= mean;
    energy += static_cast<double>(w) * static_cast<double>(w);
  }
  return energy;
}

TempoDetector::LagScore TempoDetector::BestLag(int32_t n, int32_t maxLag) const noexcept {
  LagScore best;
  for (int32_t lag = 1; lag <= maxLag; ++lag) {
    const double weight = lagWeights_[static_cast<size_t>(lag)];
    if (weight < 0.0) continue;
    const double score = weight * Autocorrelation(lag, n);
    if (score > best.score) best = {lag, score};
  }
  return best;
}

// The vertex of the parabola through the best lag and its neighbours, at most half a lag away.
double TempoDetector::RefineLag(int32_t bestLag, int32_t maxLag, int32_t n) const noexcept {
  double lag = bestLag;
  if (bestLag > 1 && bestLag < maxLag) {
    const double y0 = Autocorrelation(bestLag - 1, n), y1 = Autocorrelation(bestLag, n),
                 y2 = Autocorrelation(bestLag + 1, n);
    const double c = y0 - 2.0 * y1 + y2;
    if (y1 >= y0 && y1 >= y2 && c < -kFlatPeak) {
      const double offset = 0.5 * (y0 - y2) / c;
      if (std::isfinite(offset)) lag += std::clamp(offset, -0.5, 0.5);
    }
  }
  return std::clamp(lag, 1.0, static_cast<double>(maxLag));
}

bool TempoDetector::ProposesHalfTime(double bpm, int32_t bestLag, int32_t n) const noexcept {
  if (2 * bestLag >= n || bpm <= kHalfTimeFromBpm || bpm > kFoldHighBpm || bpm * 0.5 < kMinBpm) return false;
  const double atLag = Autocorrelation(bestLag, n);
  return atLag > kNoCorrelation && Autocorrelation(2 * bestLag, n) >= kHalfTimeEchoShare * atLag;
}

// The tempo to track: bpm, or the half tempo once enough proposals agree, which is then
// published at once, unlocked.
double TempoDetector::CheckHalfTime(double bpm, int32_t bestLag, int32_t n, double confidence) noexcept {
  if (!ProposesHalfTime(bpm, bestLag, n)) {
    halfTimeBpm_ = 0.0;
    halfTimeCount_ = 0;
    return bpm;
  }
  const double half = bpm * 0.5;
  if (halfTimeBpm_ <= 0.0 || !Agrees(half, halfTimeBpm_)) {
    halfTimeCount_ = 1;
    halfTimeBpm_ = half;
    return bpm;
  }
  ++halfTimeCount_;
  halfTimeBpm_ = kAgreeingNew * half + kAgreeingKeep * halfTimeBpm_;
  if (halfTimeCount_ < kHalfTimeProposals) return bpm;
  const double tempo = halfTimeBpm_;
  detectedBpm = tempo;
  trackBpm_ = tempo;
  trackStreak_ = kHalfTimeProposals;
  locked_ = false;
  lockCount_ = 0;
  detectedConfidence = trackConfidence_ = std::max(kHalfTimeMinConfidence, confidence);
  halfTimeBpm_ = 0.0;
  halfTimeCount_ = 0;
  return tempo;
}

void TempoDetector::Track(double tempo, double confidence) noexcept {
  if (trackBpm_ > 0.0 && Agrees(tempo, trackBpm_)) {
    ++trackStreak_;
    trackConfidence_ = kAgreeingNew * confidence + kAgreeingKeep * trackConfidence_;
    trackBpm_ = kAgreeingNew * tempo + kAgreeingKeep * trackBpm_;
  } else {
    trackStreak_ = 1;
    trackConfidence_ = confidence;
    trackBpm_ = tempo;
  }
}

// Counted on the published values as they stand, before this estimate's decision.
void TempoDetector::CountTowardsLock() noexcept {
  if (detectedBpm > 0.0 && detectedConfidence >= kConfidenceToLock) {
    if (++lockCount_ >= kEstimatesToLock) locked_ = true;
  } else if (!locked_) {
    lockCount_ = 0;
  }
}

void TempoDetector::Publish(double tempo) noexcept {
  const double confidence = trackConfidence_;
  if (detectedBpm <= 0.0) {
    if (trackStreak_ >= kAgreeingToPublish) {
      detectedConfidence = confidence;
      if (confidence >= kConfidenceToPublish) detectedBpm = trackBpm_;
    }
  } else if (locked_) {
    if (trackStreak_ >= kAgreeingToMoveLock && confidence >= kConfidenceToMoveLock) {
      lockCount_ = 0;
      detectedBpm = trackBpm_;
      detectedConfidence = confidence;
    } else {
      detectedConfidence = std::max(kLockedConfidenceKeep * detectedConfidence, kLockedMinConfidence);
    }
  } else if (Agrees(tempo, detectedBpm)) {
    detectedBpm = kFollowKeep * detectedBpm + kFollowNew * trackBpm_;
    detectedConfidence = std::max(kFollowConfidenceKeep * detectedConfidence, confidence);
  } else if (trackStreak_ >= kAgreeingToJump && confidence >= kConfidenceToJump) {
    detectedConfidence = confidence;
    detectedBpm = trackBpm_;
  } else {
    detectedConfidence = std::max(kUnsureConfidenceKeep * detectedConfidence, kCalmConfidence);
  }
}
