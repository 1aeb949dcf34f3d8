#include "framework/plugin_processor.h"

#include <algorithm>
#include <cmath>
#include <cstring>
#include <new>
#include <type_traits>

namespace plugkit {

bool IPluginProcessor::ChannelSet::Create(int32_t n) noexcept {
  if (n <= 0) return true;
  records.reset(new (std::nothrow) ChannelRecord[static_cast<size_t>(n)]);
  pointers.reset(new (std::nothrow) double*[static_cast<size_t>(n)]());
  if (records == nullptr || pointers == nullptr) {
    records.reset();
    pointers.reset();
    return false;
  }
  count = n;
  return true;
}

IPluginProcessor::IPluginProcessor(const PluginSetup& setup) noexcept
    : kind_(setup.pluginKind), midiIn_(setup.midiIn != 0), midiOut_(setup.midiOut != 0) {
  latency_.store(std::max(setup.latencySamples, 0));
  layouts_.Parse(setup.channelLayouts);
  // Without its records a direction simply has no channels; blocks still run safely.
  inputs_.Create(layouts_.MaxChannels(BusDirection::Input));
  outputs_.Create(layouts_.MaxChannels(BusDirection::Output));
}

IPluginProcessor::~IPluginProcessor() = default;

int32_t IPluginProcessor::NChannels(BusDirection direction) const noexcept { return Set(direction).count; }

int32_t IPluginProcessor::ConnectedChannelCount(BusDirection direction) const noexcept {
  const ChannelSet& set = Set(direction);
  return static_cast<int32_t>(std::count_if(set.records.get(), set.records.get() + set.count,
                                            [](const ChannelRecord& r) { return r.connected; }));
}

bool IPluginProcessor::IsChannelConnected(BusDirection direction, int32_t channel) const noexcept {
  const ChannelSet& set = Set(direction);
  return channel >= 0 && channel < set.count && set.records[channel].connected;
}

void IPluginProcessor::SetChannelConnections(BusDirection direction, int32_t first, int32_t count,
                                             bool connected) noexcept {
  ChannelSet& set = Set(direction);
  const int64_t end = std::min<int64_t>(int64_t{first} + count, set.count);
  for (int64_t i = std::max(first, 0); i < end; ++i) {
    ChannelRecord& record = set.records[i];
    record.connected = connected;
    record.hostBuffer = nullptr;
    record.hostBuffer32 = nullptr;
  }
}

bool IPluginProcessor::SetBlockSize(int32_t frames) noexcept {
  frames = std::max(frames, 0);
  if (frames == blockSize_) return true;
  const int64_t bytes = int64_t{frames} * static_cast<int64_t>(sizeof(double));
  bool ok = bytes <= INT32_MAX;
  for (ChannelSet* set : {&inputs_, &outputs_}) {
    for (int32_t i = 0; ok && i < set->count; ++i) {
      GrowBuffer& scratch = set->records[i].scratch;
      scratch.Resize(static_cast<int32_t>(bytes), true);
      ok = scratch.Size() == bytes;
    }
  }
  blockSize_ = ok ? frames : 0;
  ZeroScratchBuffers();
  return ok;
}

void IPluginProcessor::ZeroScratchBuffers() noexcept {
  for (ChannelSet* set : {&inputs_, &outputs_})
    for (int32_t i = 0; i < set->count; ++i)
      if (void* data = set->records[i].scratch.Data())
        std::memset(data, 0, static_cast<size_t>(set->records[i].scratch.Size()));
}

void IPluginProcessor::ReserveLatencyDelay(int32_t maxSamples) noexcept {
  latencyReserve_ = std::max(maxSamples, 0);
  if (hasDelayLine_) ResetLatencyDelay();
}

void IPluginProcessor::ResetLatencyDelay() noexcept {
  hasDelayLine_ = inputs_.count > 0;
  const int32_t latency = LatencySamples();
  delayLine_.Reserve(hasDelayLine_ ? inputs_.count : 0, hasDelayLine_ ? std::max(latencyReserve_, latency) : 0);
  delayLine_.RequestLength(latency);
}

void IPluginProcessor::SetLatencySamples(int32_t samples) noexcept {
  samples = std::max(samples, 0);
  latency_.store(samples, std::memory_order_relaxed);
  delayLine_.RequestLength(samples);
}

void IPluginProcessor::SetTailLength(int32_t samples) noexcept { tailLength_ = samples; }

template <typename Sample>
void IPluginProcessor::Attach(BusDirection direction, int32_t first, int32_t count,
                              Sample* const* hostBuffers) noexcept {
  ChannelSet& set = Set(direction);
  const int64_t end = std::min<int64_t>(int64_t{first} + count, set.count);
  int32_t next = 0;
  for (int64_t i = std::max(first, 0); i < end; ++i) {
    ChannelRecord& record = set.records[i];
    if (!record.connected) continue;
    Sample* buffer = hostBuffers != nullptr ? hostBuffers[next] : nullptr;
    ++next;
    record.hostBuffer = nullptr;
    record.hostBuffer32 = nullptr;
    if constexpr (std::is_same_v<Sample, double>)
      record.hostBuffer = buffer;
    else
      record.hostBuffer32 = buffer;
  }
}

void IPluginProcessor::AttachBuffers(BusDirection direction, int32_t first, int32_t count,
                                     double* const* hostBuffers) noexcept {
  Attach(direction, first, count, hostBuffers);
}

void IPluginProcessor::AttachBuffers32(BusDirection direction, int32_t first, int32_t count,
                                       float* const* hostBuffers) noexcept {
  Attach(direction, first, count, hostBuffers);
}

namespace {

// A broken source upstream can hand samples that are not numbers or are infinite: the block
// routine and the bypass path read silence in their place, so none reaches the host's mix.
template <typename Sample>
double FiniteOrSilence(Sample sample) noexcept {
  return std::isfinite(sample) ? static_cast<double>(sample) : 0.0;
}

}  // namespace

// Points every channel at samples offset .. offset + frames - 1 of its host buffer, or at
// its scratch; 32-bit inputs are converted into scratch first, and so are 64-bit inputs
// that hold a sample that is not finite.
void IPluginProcessor::PointAtPiece(int32_t offset, int32_t frames) noexcept {
  for (ChannelSet* set : {&inputs_, &outputs_}) {
    const bool isInput = set == &inputs_;
    for (int32_t i = 0; i < set->count; ++i) {
      ChannelRecord& record = set->records[i];
      double* scratch = record.scratch.DataAs<double>();
      if (record.hostBuffer != nullptr) {
        const double* piece = record.hostBuffer + offset;
        const auto isFinite = [](double sample) { return std::isfinite(sample); };
        if (isInput && !std::all_of(piece, piece + frames, isFinite)) {
          std::transform(piece, piece + frames, scratch, FiniteOrSilence<double>);
          set->pointers[i] = scratch;
        } else {
          set->pointers[i] = record.hostBuffer + offset;
        }
        continue;
      }
      // An input without a host buffer reads silence: its scratch may still hold a block
      // converted from an earlier 32-bit buffer, or what the block routine wrote into it.
      if (isInput && record.hostBuffer32 != nullptr)
        std::transform(record.hostBuffer32 + offset, record.hostBuffer32 + offset + frames, scratch,
                       FiniteOrSilence<float>);
      else if (isInput)
        std::fill_n(scratch, frames, 0.0);
      set->pointers[i] = scratch;
    }
  }
}

void IPluginProcessor::ReturnPiece(int32_t offset, int32_t frames) noexcept {
  for (int32_t i = 0; i < outputs_.count; ++i) {
    ChannelRecord& record = outputs_.records[i];
    if (record.hostBuffer32 == nullptr) continue;
    const double* scratch = record.scratch.DataAs<double>();
    std::transform(scratch, scratch + frames, record.hostBuffer32 + offset,
                   [](double sample) { return static_cast<float>(sample); });
  }
}

void IPluginProcessor::ForgetHostBuffers() noexcept {
  for (ChannelSet* set : {&inputs_, &outputs_})
    for (int32_t i = 0; i < set->count; ++i) {
      set->records[i].hostBuffer = nullptr;
      set->records[i].hostBuffer32 = nullptr;
    }
}

template <typename Body>
void IPluginProcessor::RunInPieces(int32_t frames, Body body) noexcept {
  delayLine_.AdoptRequest();
  if (blockSize_ > 0) {
    for (int32_t offset = 0; offset < frames; offset += blockSize_) {
      const int32_t piece = std::min(blockSize_, frames - offset);
      PointAtPiece(offset, piece);
      body(piece);
      ReturnPiece(offset, piece);
    }
  }
  ForgetHostBuffers();
}

void IPluginProcessor::ProcessBuffers(int32_t frames) noexcept {
  RunInPieces(frames, [this](int32_t piece) { RenderBlock(inputs_.pointers.get(), outputs_.pointers.get(), piece); });
}

void IPluginProcessor::PassThroughBuffers(int32_t frames) noexcept {
  RunInPieces(frames, [this](int32_t piece) {
    const int32_t pairs = std::min(inputs_.count, outputs_.count);
    if (delayLine_.ActiveLength() > 0 && delayLine_.Channels() >= pairs) {
      delayLine_.Process(inputs_.pointers.get(), outputs_.pointers.get(), pairs, piece);
      for (int32_t i = pairs; i < outputs_.count; ++i) std::fill_n(outputs_.pointers[i], piece, 0.0);
    } else {
      CopyThrough(inputs_.pointers.get(), outputs_.pointers.get(), piece);
    }
  });
}

void IPluginProcessor::CopyThrough(const double* const* inputs, double* const* outputs, int32_t frames) noexcept {
  for (int32_t i = 0; i < outputs_.count; ++i) {
    double* out = outputs[i];
    if (i < inputs_.count) {
      if (inputs[i] != out) std::memmove(out, inputs[i], sizeof(double) * static_cast<size_t>(frames));
    } else {
      std::fill_n(out, frames, 0.0);
    }
  }
}

void IPluginProcessor::RenderBlock(double* const* inputs, double* const* outputs, int32_t frames) noexcept {
  CopyThrough(inputs, outputs, frames);
}

void IPluginProcessor::HandleMidi(const MidiMessage& message) noexcept { EmitMidi(message); }

void IPluginProcessor::HandleSysEx(const SysExMessage&) noexcept {}

void IPluginProcessor::ResetDsp() noexcept {}

void IPluginProcessor::OnActivationChanged(bool) noexcept {}

bool IPluginProcessor::EmitMidiList(std::span<const MidiMessage> messages) noexcept {
  bool all = true;
  for (const MidiMessage& message : messages) all = EmitMidi(message) && all;
  return all;
}

bool IPluginProcessor::EmitSysEx(const SysExMessage&) noexcept { return false; }

bool IPluginProcessor::GetBusLabel(BusDirection direction, int32_t bus, int32_t busCount,
                                   GrowString& out) const noexcept {
  if (direction == BusDirection::Input) {
    if (busCount == 1) return out.Set("Input");
    if (busCount == 2) return out.Set(bus == 0 ? "Main" : "Aux");
    return out.SetFormatted(32, "Input %d", bus);
  }
  if (busCount == 1) return out.Set("Output");
  return out.SetFormatted(32, "Output %d", bus);
}

}  // namespace plugkit
