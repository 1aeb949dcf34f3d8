// Ducker: lowers a stereo signal while a key is loud. Per channel it delays the signal by a
// short look-ahead, follows the peak of that channel's key (band-limited for Sing), holds the
// decision for a while after the key falls and moves a smoothed gain between unity and the
// depth. Timing comes from the character.
//
// Threads: the owner writes the settings and calls Configure and Process on the audio thread
// (Configure also from the host's set-up call). Neither allocates: the delay lines are
// sized for the highest rate at construction and only their used length changes.
#pragma once

#include <array>
#include <cstdint>

enum class DuckCharacter : int32_t { Sing = 0, Speak = 1 };

class Ducker {
 public:
  // The rate the delay lines are sized for (the highest rate audio interfaces offer). Above
  // it the look-ahead is cut to what they hold.
  static constexpr double kHighestSampleRate = 768000.0;
  // The longest look-ahead (Sing, 5 ms) at that rate, plus 3.
  static constexpr int32_t kRingCapacity = static_cast<int32_t>(5.0 * 0.001 * kHighestSampleRate) + 3;

  // Written by the owner before Configure.
  double depthDb = 0.0;
  double thresholdDb = -30.0;
  int32_t character = static_cast<int32_t>(DuckCharacter::Sing);
  double sampleRate = 48000.0;

  // Derives the timing from character and sampleRate. Keeps envelopes, gains, hold counters
  // and filter states; clears the delay lines only when their length changes.
  void Configure() noexcept;
  // In place. A null key makes that channel its own key; a null right processes left only.
  // Does nothing before the first Configure.
  void Process(double* left, double* right, int32_t frames, const double* keyLeft, const double* keyRight) noexcept;

  int32_t DelaySamples() const noexcept { return delaySamples_; }
  int32_t RingLength() const noexcept { return ringLength_; }
  int32_t HoldSamples() const noexcept { return holdSamples_; }
  bool KeyFilterOn() const noexcept { return keyFilterOn_; }
  double Gain(int32_t channel) const noexcept { return channels_[channel & 1].gain; }
  double Envelope(int32_t channel) const noexcept { return channels_[channel & 1].envelope; }

 private:
  // One second-order section of the key filter, transposed direct form II.
  struct KeySection {
    double b0 = 1.0, b1 = 0.0, b2 = 0.0, a1 = 0.0, a2 = 0.0;
    double z1 = 0.0, z2 = 0.0;
  };

  struct Channel {
    KeySection highPass, lowPass;
    std::array<double, kRingCapacity> ring{};
    double detectorAttack = 0.0;
    double detectorRelease = 0.0;
    double envelope = 0.0;
    double gain = 1.0;
    int32_t holdLeft = 0;
  };

  double FilteredKey(Channel& channel, double key) const noexcept;

  std::array<Channel, 2> channels_;
  double gainScale_ = 1.0;
  bool keyFilterOn_ = false;
  int32_t ringLength_ = 1;
  int32_t ringPos_ = 0;
  double gainAttack_ = 0.999;
  double gainRelease_ = 0.999;
  int32_t holdSamples_ = 0;
  int32_t delaySamples_ = 0;
  // What the timing was derived from: Configure runs with every block, the derivation only when the
  // rate or the character moved (its exponentials and trigonometry cost more than the block's
  // arithmetic in the Windows build).
  double configuredRate_ = 0.0;
  int32_t configuredCharacter_ = -1;
  // The levels as linear gains, and the settings they were taken from.
  struct Levels {
    double thresholdDb = 0.0;
    double depthDb = 0.0;
    double gainScale = 0.0;
    double threshold = 1.0;
    double duck = 1.0;
  };
  Levels levels_{0.0, 0.0, 1.0, 1.0, 1.0};
};
