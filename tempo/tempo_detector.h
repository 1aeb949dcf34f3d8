// TempoDetector: the tempo of the audio passing through TarnwellTempo, in beats per minute,
// with a confidence 0..1. Every 512 input samples it takes the last 2048 mono samples, measures
// the positive change of the log-magnitude spectrum in three bands and keeps one onset value
// per hop; every 24 hops it autocorrelates the recent onset history, weights the candidate
// tempos towards 120 BPM and passes the raw estimate through a half-time check, a tracker and
// a lock before publishing it in detectedBpm and detectedConfidence.
//
// Tempos from about 145 to 200 BPM are published at half tempo, and material below about
// 70 BPM publishes little or nothing: the weight towards 120 BPM sits inside the confidence.
// The plug-in's Tempo Mode ("Half", "Double") is the user's answer to that.
//
// Audio thread only. Every buffer is a fixed array of the object: nothing allocates, ever.
#pragma once

#include <array>
#include <cstdint>

class TempoDetector {
 public:
  static constexpr int32_t kFrameSize = 2048;
  static constexpr int32_t kHopSize = 512;
  static constexpr int32_t kHopsPerEstimate = 24;
  static constexpr int32_t kMaxHistory = 750;
  static constexpr int32_t kOnsetRingSize = 2048;
  static constexpr int32_t kBandHistory = 9;
  static constexpr double kSilenceLevel = 3e-5;

  TempoDetector() noexcept;

  // Sets the rate (1 Hz or less, or not finite, means 48000), builds the process's FFT tables if nobody has
  // yet, and starts from an empty history.
  void Prepare(double rate) noexcept;
  // One block of the host's 64-bit channels; either may be null (no left reads as silence, no
  // right repeats the left). Samples that are not finite count as 0 for the analysis.
  void Feed(const double* left, const double* right, int32_t nFrames) noexcept;

  // The published results, read after each Feed.
  double detectedBpm = 0.0;
  double detectedConfidence = 0.0;

  // For tests and benchmarks: the onset values written so far (saturating at the ring size),
  // the ring itself and its next write index, and the smoothed level.
  int32_t OnsetCount() const noexcept { return onsetCount_; }
  int32_t OnsetPos() const noexcept { return onsetPos_; }
  const std::array<float, kOnsetRingSize>& OnsetRing() const noexcept { return onsetRing_; }
  double Level() const noexcept { return level_; }
  bool Locked() const noexcept { return locked_; }
  double SampleRate() const noexcept { return sampleRate_; }

 private:
  enum Band : int8_t { kNoBand = -1, kLow = 0, kMid = 1, kHigh = 2 };

  // A candidate lag in hops and its score (autocorrelation weighted towards 120 BPM).
  struct LagScore {
    int32_t lag = 0;
    double score = 0.0;
  };

  void Reset() noexcept;
  void AnalyzeHop() noexcept;
  double HopsPerMinute() const noexcept;
  // Every 24 hops, the stages below in their order.
  void EstimateTempo() noexcept;
  void CalmOnSilence() noexcept;
  // The onset values to analyse, 0 while fewer than four seconds' worth have been written.
  int32_t HistoryLength() const noexcept;
  // Copies the n newest onset values, oldest first and without their mean, into the work buffer
  // and returns their energy.
  double CentreHistory(int32_t n) noexcept;
  // The lag with the best positive score; a tie keeps the shorter lag. Lag 0 when none scores.
  LagScore BestLag(int32_t n, int32_t maxLag) const noexcept;
  double RefineLag(int32_t bestLag, int32_t maxLag, int32_t n) const noexcept;
  bool ProposesHalfTime(double bpm, int32_t bestLag, int32_t n) const noexcept;
  double CheckHalfTime(double bpm, int32_t bestLag, int32_t n, double confidence) noexcept;
  void Track(double tempo, double confidence) noexcept;
  void CountTowardsLock() noexcept;
  void Publish(double tempo) noexcept;
  void Clear() noexcept;
  double Autocorrelation(int32_t lag, int32_t n) const noexcept;

  double sampleRate_ = 48000.0;
  std::array<float, kFrameSize> inputRing_{};
  std::array<float, kFrameSize> frame_{};
  std::array<float, kFrameSize / 2> prevLogMagnitude_{};
  std::array<std::array<float, kBandHistory>, 3> bandHistory_{};
  std::array<float, 3> bandMean_{};
  std::array<float, kOnsetRingSize> onsetRing_{};
  std::array<float, kMaxHistory> workBuffer_{};
  std::array<float, 2 * kFrameSize> spectrum_{};
  // Derived once per rate: the Hann window, the band of each bin and the weight of each lag (up to
  // half the longest history).
  std::array<float, kFrameSize> window_{};
  std::array<Band, kFrameSize / 2> binBand_{};
  std::array<double, kMaxHistory / 2 + 1> lagWeights_{};
  bool prepared_ = false;
  int32_t writePos_ = 0;
  int32_t hopCounter_ = 0;
  int32_t onsetCount_ = 0;
  int32_t onsetPos_ = 0;
  int32_t hopsSinceEstimate_ = 0;
  double trackBpm_ = 0.0;
  double trackConfidence_ = 0.0;
  int32_t trackStreak_ = 0;
  double halfTimeBpm_ = 0.0;
  int32_t halfTimeCount_ = 0;
  double level_ = 0.0;
  int32_t silentCount_ = 0;
  int32_t lockCount_ = 0;
  bool locked_ = false;
};
