// IPluginProcessor: the audio side of every plug-in. It keeps sample rate, block size,
// latency and tail, parses the channel configuration, owns one record per input and output
// channel (with a scratch buffer for channels the host does not supply) and runs the block
// routine or the bypass copy on the host's buffers, converting 32-bit host samples to the
// 64-bit samples every block routine works in.
//
// Threads: configuration (channel counts, SetBlockSize, ReserveLatencyDelay,
// ResetLatencyDelay) happens while no block runs. SetLatencySamples may come from any
// thread at any time. The per-block calls run on the audio thread and never allocate or
// lock.
#pragma once

#include <atomic>
#include <cstdint>
#include <memory>
#include <span>

#include "framework/channel_layouts.h"
#include "framework/core/grow_buffer.h"
#include "framework/core/grow_string.h"
#include "framework/core/midi_message.h"
#include "framework/core/sysex_message.h"
#include "framework/latency_delay_line.h"
#include "framework/plugin_setup.h"
#include "framework/transport_info.h"

namespace plugkit {

class IPluginProcessor {
 public:
  explicit IPluginProcessor(const PluginSetup& setup) noexcept;
  virtual ~IPluginProcessor();
  IPluginProcessor(const IPluginProcessor&) = delete;
  IPluginProcessor& operator=(const IPluginProcessor&) = delete;

  // --- What the plug-in is.
  PluginKind Kind() const noexcept { return kind_; }
  bool TakesMidi() const noexcept { return midiIn_; }
  bool EmitsMidi() const noexcept { return midiOut_; }

  // --- Channel configuration.
  const ChannelLayouts& Layouts() const noexcept { return layouts_; }
  int32_t FindChannelLayout(std::span<const int32_t> inputChannels,
                            std::span<const int32_t> outputChannels) const noexcept {
    return layouts_.Find(inputChannels, outputChannels);
  }
  int32_t MaxNBuses(BusDirection direction, int32_t* layoutIndex = nullptr) const noexcept {
    return layouts_.MaxBuses(direction, layoutIndex);
  }
  int32_t MaxNChannelsForBus(BusDirection direction, int32_t bus) const noexcept {
    return layouts_.MaxChannelsForBus(direction, bus);
  }

  // --- Channel records: as many per direction as the widest layout has channels.
  int32_t NChannels(BusDirection direction) const noexcept;
  int32_t ConnectedChannelCount(BusDirection direction) const noexcept;
  bool IsChannelConnected(BusDirection direction, int32_t channel) const noexcept;
  // Channels first .. first + count - 1 that exist. Unconnected channels render into their
  // scratch buffers.
  void SetChannelConnections(BusDirection direction, int32_t first, int32_t count, bool connected) noexcept;

  // --- Set-up.
  double SampleRate() const noexcept { return sampleRate_; }
  void SetSampleRate(double sampleRate) noexcept { sampleRate_ = sampleRate; }
  int32_t BlockSize() const noexcept { return blockSize_; }
  // Sizes every scratch buffer to frames samples, zeroed; nothing changes when frames is
  // the current block size. False when memory ran out: the block size is then 0 and
  // blocks render nothing until a later size succeeds.
  bool SetBlockSize(int32_t frames) noexcept;
  // Zeroes every channel's scratch buffer.
  void ZeroScratchBuffers() noexcept;
  int32_t TailLength() const noexcept { return tailLength_; }
  TransportInfo& Transport() noexcept { return transport_; }
  const TransportInfo& Transport() const noexcept { return transport_; }
  bool IsRenderingOffline() const noexcept { return renderingOffline_; }
  void SetRenderingOffline(bool offline) noexcept { renderingOffline_ = offline; }

  // --- Bypass and latency.
  bool IsBypassed() const noexcept { return bypassed_.load(std::memory_order_relaxed); }
  void SetBypassed(bool bypassed) noexcept {
    bypassed_.store(bypassed, std::memory_order_relaxed);
    restoredBypass_.store(kNoRestoredBypass, std::memory_order_relaxed);
  }
  // A restored session's bypass flag, kept for the next save until the host's queue sets the
  // switch: a session saved before any block runs must not lose it.
  void HoldRestoredBypass(bool bypassed) noexcept {
    restoredBypass_.store(bypassed ? 1 : 0, std::memory_order_relaxed);
  }
  // The flag a saved state carries: the held restored one, else the switch.
  bool BypassForState() const noexcept {
    const int8_t held = restoredBypass_.load(std::memory_order_relaxed);
    return held == kNoRestoredBypass ? IsBypassed() : held != 0;
  }
  // The latency reported to the host (any thread).
  int32_t LatencySamples() const noexcept { return latency_.load(std::memory_order_relaxed); }
  // The largest latency the plug-in will report, so the bypass delay can be reserved while
  // no block runs. Takes effect now when the delay line exists, else at ResetLatencyDelay.
  void ReserveLatencyDelay(int32_t maxSamples) noexcept;
  // Creates (or re-creates) the bypass delay line for the input channels, with room for
  // the larger of the reserve and the current latency, delaying by the current latency.
  // Without input channels there is no delay line. While no block runs.
  void ResetLatencyDelay() noexcept;
  bool HasLatencyDelay() const noexcept { return hasDelayLine_; }

  // --- Per block, audio thread: connections, then attach, then process or pass-through.
  // Each connected channel of first .. first + count - 1 takes the next host buffer in
  // turn (unconnected ones take none); a null host buffer leaves the channel on scratch.
  void AttachBuffers(BusDirection direction, int32_t first, int32_t count, double* const* hostBuffers) noexcept;
  // 32-bit host buffers: inputs are converted into scratch before the block routine runs,
  // outputs are rendered into scratch and converted back after it.
  void AttachBuffers32(BusDirection direction, int32_t first, int32_t count, float* const* hostBuffers) noexcept;
  // Runs RenderBlock over frames samples, in pieces of at most the block size so that
  // scratch buffers are never overrun. Forgets the attached host buffers afterwards.
  void ProcessBuffers(int32_t frames) noexcept;
  // The bypass copy: each output that has an input gets that input delayed by the
  // latency; the other outputs are zeroed. Forgets the attached host buffers afterwards.
  void PassThroughBuffers(int32_t frames) noexcept;

  // --- Hooks.
  // The block routine. Default: each output that has an input copies it, the rest are
  // zeroed. Pointers are valid for every channel record, connected or not.
  virtual void RenderBlock(double* const* inputs, double* const* outputs, int32_t frames) noexcept;
  // Default: hands the message on to EmitMidi.
  virtual void HandleMidi(const MidiMessage& message) noexcept;
  virtual void HandleSysEx(const SysExMessage& message) noexcept;
  // After the host set sample rate and block size, and when processing stops.
  virtual void ResetDsp() noexcept;
  virtual void OnActivationChanged(bool active) noexcept;
  virtual bool EmitMidi(const MidiMessage& message) noexcept = 0;
  // EmitMidi for each in order; true only when every one was taken.
  virtual bool EmitMidiList(std::span<const MidiMessage> messages) noexcept;
  virtual bool EmitSysEx(const SysExMessage& message) noexcept;
  // "Input" / "Output" for a single bus; "Main" and "Aux" for two input buses; otherwise
  // "Input <index>" / "Output <index>". False when out could not hold the text.
  virtual bool GetBusLabel(BusDirection direction, int32_t bus, int32_t busCount, GrowString& out) const noexcept;
  // Records the latency (a negative one counts as 0) and asks the bypass delay for it
  // from the next block on. Any thread.
  virtual void SetLatencySamples(int32_t samples) noexcept;
  virtual void SetTailLength(int32_t samples) noexcept;

 private:
  struct ChannelRecord {
    bool connected = false;
    double* hostBuffer = nullptr;
    float* hostBuffer32 = nullptr;
    GrowBuffer scratch{GrowBuffer::kListGranularity};
  };

  struct ChannelSet {
    std::unique_ptr<ChannelRecord[]> records;
    std::unique_ptr<double*[]> pointers;
    int32_t count = 0;
    bool Create(int32_t n) noexcept;
  };

  ChannelSet& Set(BusDirection direction) noexcept { return direction == BusDirection::Input ? inputs_ : outputs_; }
  const ChannelSet& Set(BusDirection direction) const noexcept {
    return direction == BusDirection::Input ? inputs_ : outputs_;
  }
  template <typename Sample>
  void Attach(BusDirection direction, int32_t first, int32_t count, Sample* const* hostBuffers) noexcept;
  template <typename Body>
  void RunInPieces(int32_t frames, Body body) noexcept;
  void PointAtPiece(int32_t offset, int32_t frames) noexcept;
  void ReturnPiece(int32_t offset, int32_t frames) noexcept;
  void ForgetHostBuffers() noexcept;
  void CopyThrough(const double* const* inputs, double* const* outputs, int32_t frames) noexcept;

  PluginKind kind_;
  bool midiIn_;
  bool midiOut_;
  std::atomic<int32_t> latency_{0};
  double sampleRate_ = 48000.0;
  int32_t blockSize_ = 0;
  int32_t tailLength_ = 0;
  ChannelLayouts layouts_;
  ChannelSet inputs_;
  ChannelSet outputs_;
  LatencyDelayLine delayLine_;
  bool hasDelayLine_ = false;
  int32_t latencyReserve_ = 0;
  TransportInfo transport_;
  static constexpr int8_t kNoRestoredBypass = -1;
  std::atomic<bool> bypassed_{false};
  std::atomic<int8_t> restoredBypass_{kNoRestoredBypass};
  bool renderingOffline_ = false;
};

}  // namespace plugkit
