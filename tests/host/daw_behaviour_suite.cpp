#include "tests/host/daw_behaviour_suite.h"

#include <algorithm>
#include <cmath>
#include <cstring>
#include <numbers>
#include <span>
#include <thread>
#include <vector>

#include "host/bus_channels.h"
#include "host/parameter_infos.h"
#include "host/plugin_instance.h"
#include "host/text.h"

namespace tarnwell::host {

using namespace Steinberg;
using namespace Steinberg::Vst;

namespace {

constexpr double kRate = 48000.0;
constexpr int kMaxBlock = 1024;

// Results a host can act on: done, or refused.
::testing::AssertionResult OkOrRefused(tresult result) {
  if (result == kResultOk || result == kResultFalse) return ::testing::AssertionSuccess();
  return ::testing::AssertionFailure() << "answered " << result;
}

std::vector<SpeakerArrangement> OwnArrangements(IAudioProcessor* processor, IComponent* component,
                                                BusDirection direction) {
  std::vector<SpeakerArrangement> arrangements;
  for (int32 b = 0; b < component->getBusCount(kAudio, direction); ++b) {
    SpeakerArrangement arrangement = 0;
    processor->getBusArrangement(direction, b, arrangement);
    arrangements.push_back(arrangement);
  }
  return arrangements;
}

struct BusShape {
  std::vector<int32> inputs, outputs;
  bool operator==(const BusShape&) const = default;
};

BusShape ShapeOf(IComponent* component) {
  return {BusChannelCounts(component, kInput), BusChannelCounts(component, kOutput)};
}

struct ParamRef {
  ParamID id;
  int32 stepCount;
};

// The parameters a host automates: automatable, neither bypass nor read-only.
std::vector<ParamRef> AutomatableParams(IEditController* controller) {
  std::vector<ParamRef> params;
  for (const ParameterInfo& info : ParameterInfos(controller)) {
    if ((info.flags & ParameterInfo::kCanAutomate) == 0 ||
        (info.flags & (ParameterInfo::kIsBypass | ParameterInfo::kIsReadOnly)) != 0)
      continue;
    params.push_back({info.id, info.stepCount});
  }
  return params;
}

std::vector<ParamID> AllParamIds(IEditController* controller) {
  std::vector<ParamID> ids;
  for (const ParameterInfo& info : ParameterInfos(controller)) ids.push_back(info.id);
  return ids;
}

// A value away from the default's usual places, on a step for stepped parameters.
ParamValue Spread(double seed, int32 stepCount) {
  const double v = seed - std::floor(seed);
  return stepCount > 0 ? std::round(v * stepCount) / stepCount : v;
}

// The test signal as a function of the stream position, so that any cut into blocks hands
// the same samples: a sine on the main channels, a key that comes and goes (100 ms on,
// 100 ms off) on every further input channel.
double InputSample(int32 channel, int32 mainChannels, int64 position) {
  const double t = static_cast<double>(position) / kRate;
  if (channel < mainChannels) return 0.25 * std::sin(2.0 * std::numbers::pi * 220.0 * t + 0.5 * channel);
  const bool keyOn = (position / 4800) % 2 == 0;
  return keyOn ? 0.5 * std::sin(2.0 * std::numbers::pi * 110.0 * t) : 0.0;
}

// Hosts process on threads of their own, not on the thread that made the plug-in (some on
// a different worker thread from call to call, as here).
template <typename Call>
tresult OnAudioThread(Call call) {
  tresult result = kInternalError;
  std::thread audio([&] { result = call(); });
  audio.join();
  return result;
}

// Every call towards the host (restarts, edits) must come on the UI thread, also what the
// plug-in deferred from the audio thread and hands over while the UI loop runs.
void ExpectHostCallsOnTheUiThread(PluginInstance& plugin) {
  plugin.RunUiLoopFor(60);
  for (const ComponentHandler::Call& call : plugin.Handler().Calls())
    EXPECT_EQ(call.thread, std::this_thread::get_id()) << "host call of kind " << static_cast<int>(call.kind);
}

// What every session must show at its end: no allocation in any process call, host calls
// on the UI thread.
void ExpectSoundSession(PluginInstance& plugin) {
  EXPECT_EQ(plugin.AllocationsDuringProcess(), 0u);
  ExpectHostCallsOnTheUiThread(plugin);
}

struct Transport {
  int64 start = 0;  // project time of stream position 0
};

// One host session's stream: feeds blocks of the test signal through the plug-in, keeps
// every output channel's samples and checks each call's answer and output.
class Stream {
 public:
  Stream(PluginInstance& plugin, bool doublePrecision, Transport transport = {})
      : plugin_(plugin), wide_(doublePrecision), transport_(transport) {}

  // Side-chain channels (input channels past the main bus) get no buffers of the caller's:
  // the host hands silence for them.
  bool silentSideChain = false;

  void Run(std::span<const int> sizes) {
    for (int frames : sizes) Block(frames);
  }

  void Block(int frames) {
    IComponent* component = plugin_.Component();
    const int32 mainChannels = BusChannelCount(component, kInput, 0);
    const int32 inputs = TotalChannelCount(component, kInput);
    const int32 outputs = TotalChannelCount(component, kOutput);
    if (out_.size() < static_cast<size_t>(outputs)) out_.resize(static_cast<size_t>(outputs));
    const size_t n = static_cast<size_t>(std::max(frames, 0));
    std::vector<std::vector<double>> in(static_cast<size_t>(inputs), std::vector<double>(n));
    std::vector<std::vector<double>> out(static_cast<size_t>(outputs), std::vector<double>(n, 7.0));
    for (int32 c = 0; c < inputs; ++c)
      for (size_t i = 0; i < n; ++i) in[c][i] = InputSample(c, mainChannels, position_ + static_cast<int64>(i));

    ProcessContext context{};
    context.state = ProcessContext::kPlaying | ProcessContext::kTempoValid | ProcessContext::kTimeSigValid |
                    ProcessContext::kProjectTimeMusicValid | ProcessContext::kBarPositionValid;
    context.sampleRate = kRate;
    context.tempo = 120.0;
    context.timeSigNumerator = 4;
    context.timeSigDenominator = 4;
    context.projectTimeSamples = transport_.start + position_;
    context.projectTimeMusic = static_cast<double>(context.projectTimeSamples) / kRate * 2.0;
    context.barPositionMusic = std::floor(context.projectTimeMusic / 4.0) * 4.0;

    tresult result;
    if (wide_) {
      std::vector<double*> inPtrs, outPtrs;
      for (int32 c = 0; c < inputs; ++c)
        inPtrs.push_back(silentSideChain && c >= mainChannels ? nullptr : in[c].data());
      for (auto& channel : out) outPtrs.push_back(channel.data());
      result = OnAudioThread([&] { return plugin_.Process64(inPtrs, outPtrs, frames, &context); });
    } else {
      std::vector<std::vector<float>> in32(in.size()), out32(out.size(), std::vector<float>(n, 7.0f));
      std::vector<float*> inPtrs, outPtrs;
      for (size_t c = 0; c < in.size(); ++c) {
        in32[c].assign(in[c].begin(), in[c].end());
        const bool silent = silentSideChain && static_cast<int32>(c) >= mainChannels;
        inPtrs.push_back(silent ? nullptr : in32[c].data());
      }
      for (auto& channel : out32) outPtrs.push_back(channel.data());
      result = OnAudioThread([&] { return plugin_.Process(inPtrs, outPtrs, frames, &context); });
      for (size_t c = 0; c < out.size(); ++c) out[c].assign(out32[c].begin(), out32[c].end());
    }
    EXPECT_EQ(result, kResultOk) << "block of " << frames << " at " << position_;
    for (size_t c = 0; c < out.size(); ++c) {
      const auto bad = std::find_if(out[c].begin(), out[c].end(), [](double s) { return !std::isfinite(s); });
      EXPECT_EQ(bad, out[c].end()) << "channel " << c << " sample " << position_ + (bad - out[c].begin());
      out_[c].insert(out_[c].end(), out[c].begin(), out[c].end());
    }
    position_ += static_cast<int64>(n);
  }

  const std::vector<std::vector<double>>& Output() const { return out_; }
  int64 Position() const { return position_; }

 private:
  PluginInstance& plugin_;
  bool wide_;
  Transport transport_;
  int64 position_ = 0;
  std::vector<std::vector<double>> out_;
};

// Creates the module's plug-in and, when asked, starts it the usual way.
::testing::AssertionResult Open(PluginInstance& plugin, const Module& module, bool start, bool wide = false,
                                const char* hostName = "Test Host") {
  std::string error;
  if (!plugin.Create(module, hostName, &error)) return ::testing::AssertionFailure() << error;
  if (start && !plugin.Start(kRate, kMaxBlock, wide)) return ::testing::AssertionFailure() << "refused to start";
  return ::testing::AssertionSuccess();
}

std::vector<uint8_t> Saved(PluginInstance& plugin) {
  std::vector<uint8_t> chunk;
  EXPECT_TRUE(plugin.SaveState(&chunk));
  return chunk;
}

}  // namespace

std::string DawTargetName(const ::testing::TestParamInfo<DawTarget>& info) {
  std::string name;
  for (char c : info.param.name) name += std::isalnum(static_cast<unsigned char>(c)) ? c : '_';
  return name;
}

void DawBehaviour::SetUp() {
  std::string error;
  ASSERT_TRUE(module_.Load(GetParam().bundle, &error)) << error;
}

TEST_P(DawBehaviour, ScanStopsWhatItNeverStartedAndTheInstanceStillWorksAfterwards) {
  PluginInstance plugin;
  ASSERT_TRUE(Open(plugin, module_, false, false, "Scanning Host"));
  const tresult stopped = plugin.SetProcessing(false);
  EXPECT_TRUE(stopped == kResultOk || stopped == kResultFalse || stopped == kNotImplemented) << stopped;
  EXPECT_TRUE(OkOrRefused(plugin.SetActive(false)));
  EXPECT_GT(TotalChannelCount(plugin.Component(), kOutput), 0);
  const std::vector<uint8_t> scanned = Saved(plugin);

  // A host that keeps the scanned instance and starts it for real.
  ASSERT_TRUE(plugin.Start(kRate, kMaxBlock));
  Stream stream(plugin, false);
  const int sizes[] = {512, 512};
  stream.Run(sizes);
  EXPECT_EQ(Saved(plugin), scanned);
  ExpectSoundSession(plugin);
  for (tresult result : plugin.Terminate()) EXPECT_EQ(result, kResultOk);
}

TEST_P(DawBehaviour, InitializedAsComponentAndAsControllerThenTerminatedTwice) {
  PluginInstance plugin;
  ASSERT_TRUE(Open(plugin, module_, false, false, "Two Sided Host"));
  const int32 params = plugin.Controller()->getParameterCount();
  const BusShape buses = ShapeOf(plugin.Component());
  const std::vector<uint8_t> before = Saved(plugin);

  EXPECT_TRUE(OkOrRefused(plugin.InitializeAsController()));
  EXPECT_EQ(plugin.Controller()->getParameterCount(), params);  // nothing exported twice
  EXPECT_EQ(ShapeOf(plugin.Component()), buses);
  EXPECT_EQ(Saved(plugin), before);

  ASSERT_TRUE(plugin.Start(kRate, kMaxBlock));
  Stream stream(plugin, false);
  const int sizes[] = {256, 256, 256};
  stream.Run(sizes);
  ExpectSoundSession(plugin);
  plugin.Stop();
  const std::vector<tresult> terminated = plugin.Terminate();
  ASSERT_EQ(terminated.size(), 2u);
  EXPECT_EQ(terminated[0], kResultOk);
  EXPECT_TRUE(OkOrRefused(terminated[1]));
}

TEST_P(DawBehaviour, StateSetWhileActiveThenEveryParameterPushedBackKeepsTheState) {
  PluginInstance source;
  ASSERT_TRUE(Open(source, module_, true));
  const std::vector<ParamRef> automatable = AutomatableParams(source.Controller());
  for (size_t i = 0; i < automatable.size(); ++i) {
    const ParamValue value = Spread(0.29 + 0.37 * static_cast<double>(i), automatable[i].stepCount);
    EXPECT_EQ(source.Controller()->setParamNormalized(automatable[i].id, value), kResultOk);
    source.InputChanges().Add(automatable[i].id, 0, value);
  }
  Stream sourceStream(source, false);
  const int two[] = {512, 512};
  sourceStream.Run(two);
  const std::vector<uint8_t> chunk = Saved(source);
  // What the chunk reads as, in an instance that only loads it (values the host sent
  // between steps come back on the steps).
  const std::vector<ParamID> ids = AllParamIds(source.Controller());
  std::vector<ParamValue> values;
  PluginInstance loaded;
  ASSERT_TRUE(Open(loaded, module_, false));
  ASSERT_TRUE(loaded.LoadState(chunk));
  for (ParamID id : ids) values.push_back(loaded.Controller()->getParamNormalized(id));

  PluginInstance plugin;
  ASSERT_TRUE(Open(plugin, module_, true));
  Stream stream(plugin, false);
  stream.Run(two);
  ASSERT_TRUE(plugin.LoadState(chunk));  // between two blocks of a running session
  for (ParamID id : ids)
    EXPECT_EQ(plugin.Controller()->setParamNormalized(id, plugin.Controller()->getParamNormalized(id)), kResultOk)
        << "parameter " << id;
  const int more[] = {512, 300, 1024};
  stream.Run(more);
  for (size_t i = 0; i < ids.size(); ++i)
    EXPECT_DOUBLE_EQ(plugin.Controller()->getParamNormalized(ids[i]), values[i]) << "parameter " << ids[i];
  EXPECT_EQ(Saved(plugin), chunk);
  ExpectSoundSession(source);
  ExpectSoundSession(plugin);
}

// Sessions come back damaged: cut short, overwritten, padded. Whatever the module answers,
// it keeps every parameter in range and goes on processing finite audio.
TEST_P(DawBehaviour, DamagedStateIsRefusedOrReadInRangeAndProcessingGoesOn) {
  PluginInstance source;
  ASSERT_TRUE(Open(source, module_, false));
  const std::vector<uint8_t> good = Saved(source);
  const auto words = [&](double value) {
    std::vector<uint8_t> chunk = good;
    for (size_t at = 0; at + 8 <= chunk.size(); at += 8) std::memcpy(chunk.data() + at, &value, 8);
    return chunk;
  };
  std::vector<uint8_t> noise(good.size());
  for (size_t i = 0; i < noise.size(); ++i) noise[i] = static_cast<uint8_t>((i * 2654435761u) >> 13);
  std::vector<uint8_t> padded = good;
  padded.resize(good.size() + (1 << 20), 0xFF);
  const struct {
    const char* damage;
    std::vector<uint8_t> chunk;
  } cases[] = {
      {"empty", {}},
      {"three bytes", {1, 2, 3}},
      {"cut in half", std::vector<uint8_t>(good.begin(), good.begin() + static_cast<std::ptrdiff_t>(good.size() / 2))},
      {"every word NaN", words(std::nan(""))},
      {"every word infinite", words(-HUGE_VAL)},
      {"every word huge", words(1e300)},
      {"noise", noise},
      {"a megabyte of junk after it", padded},
  };
  PluginInstance plugin;
  ASSERT_TRUE(Open(plugin, module_, true));
  Stream stream(plugin, false);
  for (const auto& c : cases) {
    SCOPED_TRACE(c.damage);
    const bool taken = plugin.LoadState(c.chunk);
    if (c.chunk.size() < 4) {
      EXPECT_FALSE(taken);
    }
    for (ParamID id : AllParamIds(plugin.Controller())) {
      const ParamValue value = plugin.Controller()->getParamNormalized(id);
      EXPECT_TRUE(value >= 0.0 && value <= 1.0) << "parameter " << id << " reads " << value;
    }
    const int sizes[] = {512, 512};
    stream.Run(sizes);
    std::vector<uint8_t> after;
    EXPECT_TRUE(plugin.SaveState(&after));
  }
  // Values a damaged chunk sets may switch on anything a module has, the fixture's
  // deliberate allocation too; the other cases check allocation with values hosts send.
  ExpectHostCallsOnTheUiThread(plugin);
}

TEST_P(DawBehaviour, BusArrangementRoundsBeforeActivationEndWithTheModulesOwnBuses) {
  PluginInstance plugin;
  ASSERT_TRUE(Open(plugin, module_, false));
  IComponent* component = plugin.Component();
  const BusShape own = ShapeOf(component);
  const std::vector<SpeakerArrangement> ownIn = OwnArrangements(plugin.Processor(), component, kInput);
  const std::vector<SpeakerArrangement> ownOut = OwnArrangements(plugin.Processor(), component, kOutput);
  const SpeakerArrangement mono = 0x80000, stereo = 0x3, surround = 0x3F;
  const struct {
    const char* round;
    std::vector<SpeakerArrangement> in, out;
  } rounds[] = {
      {"mono", {mono}, {mono}},
      {"stereo main only", {stereo}, {stereo}},
      {"5.1", {surround}, {surround}},
      {"every bus empty", std::vector<SpeakerArrangement>(ownIn.size(), 0),
       std::vector<SpeakerArrangement>(ownOut.size(), 0)},
      {"no buses", {}, {}},
  };
  for (const auto& round : rounds)
    EXPECT_TRUE(OkOrRefused(plugin.SetBusArrangements(round.in, round.out))) << round.round;
  // The host ends with what the module asked for at first.
  ASSERT_EQ(plugin.SetBusArrangements(ownIn, ownOut), kResultOk);
  EXPECT_EQ(ShapeOf(component), own);
  ASSERT_TRUE(plugin.Start(kRate, kMaxBlock));
  Stream stream(plugin, false);
  const int sizes[] = {512, 512, 512};
  stream.Run(sizes);

  // A host that ends on a refused round asks the module what it has and goes on with that.
  PluginInstance refusedLast;
  ASSERT_TRUE(Open(refusedLast, module_, false));
  EXPECT_TRUE(OkOrRefused(refusedLast.SetBusArrangements({surround}, {mono})));
  ASSERT_TRUE(refusedLast.Start(kRate, kMaxBlock));
  Stream goOn(refusedLast, false);
  goOn.Run(sizes);
  ExpectSoundSession(plugin);
  ExpectSoundSession(refusedLast);
}

TEST_P(DawBehaviour, InactiveSideChainIsStillHandedSilentBuffersOrNone) {
  PluginInstance plugin;
  ASSERT_TRUE(Open(plugin, module_, false));
  IComponent* component = plugin.Component();
  if (component->getBusCount(kAudio, kInput) < 2) GTEST_SKIP() << "the module has no side-chain bus";
  std::vector<SpeakerArrangement> in = OwnArrangements(plugin.Processor(), component, kInput);
  const std::vector<SpeakerArrangement> out = OwnArrangements(plugin.Processor(), component, kOutput);
  in[1] = 0;  // hosts announce an unrouted side-chain as an empty arrangement
  EXPECT_TRUE(OkOrRefused(plugin.SetBusArrangements(in, out)));
  ASSERT_TRUE(plugin.Start(kRate, kMaxBlock));
  plugin.SetActive(false);
  plugin.ActivateBus(kInput, 1, false);
  ASSERT_EQ(plugin.SetActive(true), kResultOk);
  plugin.SetProcessing(true);

  Stream stream(plugin, false);
  stream.silentSideChain = true;
  const int sizes[] = {512, 512, 512};
  stream.Run(sizes);
  plugin.PassBusChannels(kInput, 1, 0);  // no channel pointers at all
  stream.Run(sizes);
  plugin.PassBusChannels(kInput, 1, -1);

  // Routed between two runs, and unrouted again.
  for (bool routed : {true, false}) {
    plugin.SetProcessing(false);
    plugin.SetActive(false);
    EXPECT_TRUE(OkOrRefused(plugin.ActivateBus(kInput, 1, routed)));
    ASSERT_EQ(plugin.SetActive(true), kResultOk);
    plugin.SetProcessing(true);
    stream.silentSideChain = !routed;
    stream.Run(sizes);
  }
  ExpectSoundSession(plugin);
}

TEST_P(DawBehaviour, BlockSizesChangeFromCallToCallFromANegativeProjectTime) {
  const int changing[] = {1024, 752, 272, 1, 1023, 0, 512, 97, 1024, 33, 64};
  const int total = 4802;
  for (bool wide : {false, true}) {
    SCOPED_TRACE(wide ? "64-bit" : "32-bit");
    PluginInstance plugin, reference;
    ASSERT_TRUE(Open(plugin, module_, true, wide));
    ASSERT_TRUE(Open(reference, module_, true, wide));
    Stream stream(plugin, wide, Transport{-3000});  // a pre-roll before the project start
    stream.Run(changing);
    ASSERT_EQ(stream.Position(), total);
    Stream steady(reference, wide, Transport{-3000});
    std::vector<int> even(static_cast<size_t>(total / 128), 128);
    even.push_back(total % 128);
    steady.Run(even);
    if (GetParam().blockSizeInvariant) {
      ASSERT_EQ(stream.Output().size(), steady.Output().size());
      for (size_t c = 0; c < stream.Output().size(); ++c)
        for (size_t i = 0; i < static_cast<size_t>(total); ++i)
          ASSERT_NEAR(stream.Output()[c][i], steady.Output()[c][i], 1e-9) << "channel " << c << " sample " << i;
    }
    ExpectSoundSession(plugin);
    ExpectSoundSession(reference);
  }
}

TEST_P(DawBehaviour, OfflineBounceAtALargerMaximumThenRealtimeAgain) {
  PluginInstance plugin;
  ASSERT_TRUE(Open(plugin, module_, false));
  ASSERT_TRUE(plugin.Start(kRate, 512));
  Stream live(plugin, false);
  const int realtime[] = {512, 512, 256};
  live.Run(realtime);

  for (bool offline : {true, false}) {
    SCOPED_TRACE(offline ? "offline at 8192" : "realtime at 512 again");
    plugin.SetProcessing(false);
    EXPECT_TRUE(OkOrRefused(plugin.SetActive(false)));
    ASSERT_EQ(plugin.SetupProcessing(kRate, offline ? 8192 : 512, false, offline), kResultOk);
    ASSERT_EQ(plugin.SetActive(true), kResultOk);
    plugin.SetProcessing(true);
    Stream pass(plugin, false);
    const int bounce[] = {8192, 8192, 3000, 8192};
    if (offline)
      pass.Run(bounce);
    else
      pass.Run(realtime);
  }
  ExpectSoundSession(plugin);
}

TEST_P(DawBehaviour, AutomationWithAPointAtEachEndOfEveryBlockEndsOnTheLastPoints) {
  PluginInstance plugin;
  ASSERT_TRUE(Open(plugin, module_, true));
  const std::vector<ParamRef> params = AutomatableParams(plugin.Controller());
  const int sizes[] = {256, 1024, 77, 512, 1, 300, 640, 128};
  Stream stream(plugin, false);
  std::vector<ParamValue> last(params.size());
  for (size_t k = 0; k < std::size(sizes); ++k) {
    for (size_t i = 0; i < params.size(); ++i) {
      const double seed = 0.13 * static_cast<double>(k) + 0.31 * static_cast<double>(i);
      plugin.InputChanges().Add(params[i].id, 0, Spread(seed, params[i].stepCount));
      last[i] = Spread(seed + 0.5, params[i].stepCount);
      plugin.InputChanges().Add(params[i].id, sizes[k], last[i]);
    }
    stream.Block(sizes[k]);
  }

  // The same values sent once, as single points, must leave the same state.
  PluginInstance once;
  ASSERT_TRUE(Open(once, module_, true));
  for (size_t i = 0; i < params.size(); ++i) once.InputChanges().Add(params[i].id, 0, last[i]);
  Stream single(once, false);
  single.Block(64);
  EXPECT_EQ(Saved(plugin), Saved(once));
  ExpectSoundSession(plugin);
  ExpectSoundSession(once);
}

}  // namespace tarnwell::host
