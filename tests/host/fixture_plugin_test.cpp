// The fixture plug-in, a framework plug-in in a really built module, driven by our host as a
// DAW drives it: what it exports, its audio, latency and bypass, its state through faulty
// streams, its editor view and keys, and its idle timer while the host pumps its UI loop.
#include <gtest/gtest.h>

#include <cmath>
#include <cstdio>
#include <cstring>
#include <thread>
#include <vector>

#include "host/memory_stream.h"
#include "host/module.h"
#include "host/plugin_instance.h"
#include "host/render.h"
#include "host/text.h"
#include "platform/host_window.h"
#include "pluginterfaces/gui/iplugviewcontentscalesupport.h"
#include "pluginterfaces/vst/ivstchannelcontextinfo.h"
#include "pluginterfaces/vst/ivstmidicontrollers.h"
#include "pluginterfaces/vst/ivstunits.h"
#include "pluginterfaces/vst/vstspeaker.h"
#include "public.sdk/source/vst/hosting/hostclasses.h"

namespace {

using namespace Steinberg;
using namespace Steinberg::Vst;
using tarnwell::host::ComponentHandler;
using tarnwell::host::MemoryStream;
using tarnwell::host::Module;
using tarnwell::host::PluginInstance;

constexpr ParamID kGain = 0, kLatency = 1, kBypass = 0x10000;
constexpr int kMaxLatency = 256;
constexpr int kBlock = 64;

std::vector<float> Signal(int n, float phase) {
  std::vector<float> v(static_cast<size_t>(n));
  for (int i = 0; i < n; ++i) v[static_cast<size_t>(i)] = 0.5f * std::sin(phase + 0.05f * static_cast<float>(i));
  return v;
}

std::vector<int32> Edges(const ViewRect& rect) { return {rect.left, rect.top, rect.right, rect.bottom}; }

std::string Narrow(const TChar* text) { return tarnwell::host::Utf16ToUtf8(text, 128); }

class FixturePlugin : public ::testing::Test {
 protected:
  void SetUp() override {
    std::string error;
    ASSERT_TRUE(module_.Load(FIXTURE_BUNDLE, &error)) << error;
  }

  // A started instance, the way a DAW brings one up.
  void Open(PluginInstance& plugin, const std::string& hostName = "Test Host", bool doublePrecision = false) {
    std::string error;
    ASSERT_TRUE(plugin.Create(module_, hostName, &error)) << error;
    ASSERT_TRUE(plugin.Start(48000.0, kBlock, doublePrecision));
  }

  // One stereo block in and out; the changes queued before go with it.
  std::vector<std::vector<float>> Block(PluginInstance& plugin, const std::vector<float>& left,
                                        const std::vector<float>& right) {
    std::vector<std::vector<float>> out(2, std::vector<float>(left.size()));
    std::vector<float> l = left, r = right;
    EXPECT_EQ(plugin.Process({l.data(), r.data()}, {out[0].data(), out[1].data()}, static_cast<int>(left.size())),
              kResultOk);
    return out;
  }

  std::vector<uint8_t> Saved(PluginInstance& plugin) {
    std::vector<uint8_t> chunk;
    EXPECT_TRUE(plugin.SaveState(&chunk));
    return chunk;
  }

  static int32 BypassFlagOf(const std::vector<uint8_t>& chunk) {
    int32 flag = -1;
    std::memcpy(&flag, chunk.data() + chunk.size() - 4, 4);
    return flag;
  }

  Module module_;
};

TEST_F(FixturePlugin, ExportsParametersUnitsAndBypassAndRefusesHostileQueries) {
  PluginInstance plugin;
  Open(plugin);
  IEditController* controller = plugin.Controller();
  ASSERT_EQ(controller->getParameterCount(), 4);
  const struct {
    int32 index;
    ParamID id;
    const char* title;
    const char* units;
    int32 flags;
    UnitID unit;
    double defaultValue;
  } infos[] = {{0, kBypass, "Bypass", "", 0x10009, 0, 0.0},
               {1, kGain, "Gain", "dB", ParameterInfo::kCanAutomate, 1, 0.5},
               {2, kLatency, "Latency", "samples", ParameterInfo::kCanAutomate, 2, 0.0},
               {3, 2, "Allocate In Process", "", 0, 0, 0.0}};
  for (const auto& expected : infos) {
    ParameterInfo info{};
    ASSERT_EQ(controller->getParameterInfo(expected.index, info), kResultOk);
    EXPECT_EQ(info.id, expected.id);
    EXPECT_EQ(Narrow(info.title), expected.title);
    EXPECT_EQ(Narrow(info.units), expected.units);
    EXPECT_EQ(info.flags, expected.flags) << expected.title;
    EXPECT_EQ(info.unitId, expected.unit) << expected.title;
    EXPECT_EQ(info.defaultNormalizedValue, expected.defaultValue) << expected.title;
  }

  FUnknownPtr<IUnitInfo> units(controller);
  ASSERT_TRUE(units);
  ASSERT_EQ(units->getUnitCount(), 3);
  const char* unitNames[] = {"Root", "Level", "Timing"};
  for (int32 i = 0; i < 3; ++i) {
    UnitInfo unit{};
    ASSERT_EQ(units->getUnitInfo(i, unit), kResultOk);
    EXPECT_EQ(unit.id, i);
    EXPECT_EQ(Narrow(unit.name), unitNames[i]);
  }
  String128 name{};
  EXPECT_EQ(units->getProgramName(65537, 0, name), kResultFalse);  // no preset slots

  String128 text{};
  ASSERT_EQ(controller->getParamStringByValue(kGain, 0.75, text), kResultOk);
  EXPECT_EQ(Narrow(text), "12.0");
  std::u16string minusSix = u"-6";
  ParamValue value = 0;
  ASSERT_EQ(controller->getParamValueByString(kGain, reinterpret_cast<TChar*>(minusSix.data()), value), kResultOk);
  EXPECT_DOUBLE_EQ(value, 0.375);
  EXPECT_DOUBLE_EQ(controller->normalizedParamToPlain(kLatency, 0.5), 128.0);
  EXPECT_DOUBLE_EQ(controller->plainParamToNormalized(kLatency, 64.0), 0.25);

  FUnknownPtr<IMidiMapping> midi(controller);
  ASSERT_TRUE(midi);
  ParamID mapped = 0;
  EXPECT_EQ(midi->getMidiControllerAssignment(0, 0, kCtrlVolume, mapped), kResultOk);
  EXPECT_EQ(mapped, 65545u);
  EXPECT_EQ(midi->getMidiControllerAssignment(0, 1, kCtrlVolume, mapped), kResultFalse);
  FUnknownPtr<ChannelContext::IInfoListener> channelInfo(controller);
  ASSERT_TRUE(channelInfo);
  EXPECT_EQ(channelInfo->setChannelContextInfos(nullptr), kResultFalse);
  IPtr<HostAttributeList> list = owned(new HostAttributeList());
  EXPECT_EQ(channelInfo->setChannelContextInfos(list), kResultOk);
  FUnknownPtr<IProcessContextRequirements> requirements(controller);
  ASSERT_TRUE(requirements);
  EXPECT_EQ(requirements->getProcessContextRequirements(), 0u);

  ParameterInfo info{};
  UnitInfo unit{};
  EXPECT_EQ(controller->getParameterInfo(-1, info), kResultFalse);
  EXPECT_EQ(controller->getParameterInfo(4, info), kResultFalse);
  EXPECT_EQ(units->getUnitInfo(3, unit), kResultFalse);
  EXPECT_EQ(units->getUnitInfo(-1, unit), kResultFalse);
  EXPECT_EQ(controller->getParamStringByValue(kGain, 0.5, nullptr), kInvalidArgument);
  EXPECT_EQ(controller->getParamValueByString(kGain, nullptr, value), kInvalidArgument);
  EXPECT_EQ(controller->getParamStringByValue(kBypass, -3.0, text), kResultOk);
  EXPECT_EQ(Narrow(text), "off");
  EXPECT_EQ(controller->setParamNormalized(77, 0.5), kResultFalse);
  EXPECT_EQ(controller->setParamNormalized(kGain, std::nan("")), kInvalidArgument);
  EXPECT_EQ(controller->getParamNormalized(77), 0.0);
}

TEST_F(FixturePlugin, BusesFollowTheLayoutsAndArrangementsMustMatchOneUnlessTheHostIsKnownNotTo) {
  PluginInstance plugin;
  Open(plugin);
  IComponent* component = plugin.Component();
  IAudioProcessor* processor = plugin.Processor();
  ASSERT_EQ(component->getBusCount(kAudio, kInput), 2);
  ASSERT_EQ(component->getBusCount(kAudio, kOutput), 1);
  EXPECT_EQ(component->getBusCount(kEvent, kInput), 0);
  BusInfo aux{};
  ASSERT_EQ(component->getBusInfo(kAudio, kInput, 1, aux), kResultOk);
  EXPECT_EQ(Narrow(aux.name), "Aux");
  EXPECT_EQ(aux.busType, kAux);
  EXPECT_EQ(aux.flags, 0u);
  SpeakerArrangement arrangement = 0;
  EXPECT_EQ(processor->getBusArrangement(kInput, 1, arrangement), kResultOk);
  EXPECT_EQ(arrangement, SpeakerArr::kStereo);
  EXPECT_EQ(processor->getBusArrangement(kInput, 2, arrangement), kInvalidArgument);

  SpeakerArrangement stereo[] = {SpeakerArr::kStereo, SpeakerArr::kStereo, SpeakerArr::kStereo};
  SpeakerArrangement mono[] = {SpeakerArr::kMono};
  ASSERT_EQ(processor->setBusArrangements(stereo, 1, stereo, 1), kResultOk);
  ASSERT_EQ(component->getBusCount(kAudio, kInput), 1);
  BusInfo only{};
  component->getBusInfo(kAudio, kInput, 0, only);
  EXPECT_EQ(Narrow(only.name), "Input");
  EXPECT_EQ(processor->setBusArrangements(stereo, 3, stereo, 1), kResultFalse);  // more buses than any layout
  EXPECT_EQ(processor->setBusArrangements(mono, 1, stereo, 1), kResultFalse);    // no mono layout
  EXPECT_EQ(processor->setBusArrangements(nullptr, 1, stereo, 1), kInvalidArgument);
  EXPECT_EQ(component->getBusCount(kAudio, kInput), 1);  // refusals change no bus
  ASSERT_EQ(processor->setBusArrangements(stereo, 2, stereo, 1), kResultOk);
  EXPECT_EQ(component->getBusCount(kAudio, kInput), 2);

  for (const char* host : {"Ardour 8.4", "Harrison Mixbus"}) {
    PluginInstance lenient;
    Open(lenient, host);
    EXPECT_EQ(lenient.Processor()->setBusArrangements(mono, 1, mono, 1), kResultOk) << host;
    EXPECT_EQ(lenient.Component()->getBusCount(kAudio, kInput), 2) << host;
  }
}

TEST_F(FixturePlugin, AudioIsBitExactIn32And64BitInPlaceAndWithoutAllocating) {
  std::vector<float> left = Signal(kBlock, 0.1f), right = Signal(kBlock, 2.0f);
  PluginInstance plugin;
  Open(plugin);
  plugin.InputChanges().Add(kGain, 0, 0.1);
  plugin.InputChanges().Add(kGain, 9, 0.5);  // only the last point counts: 0 dB
  for (ParamID ignored : {3u, 0xFFFFu, 65537u, 65538u + 7u, 0x80000000u}) plugin.InputChanges().Add(ignored, 0, 1.0);
  auto out = Block(plugin, left, right);
  EXPECT_EQ(out[0], left);
  EXPECT_EQ(out[1], right);
  std::vector<float> inPlaceL = left, inPlaceR = right;
  plugin.Process({inPlaceL.data(), inPlaceR.data()}, {inPlaceL.data(), inPlaceR.data()}, kBlock);
  EXPECT_EQ(inPlaceL, left);
  plugin.InputChanges().Add(kGain, 0, 0.375);  // -6 dB
  out = Block(plugin, left, right);
  EXPECT_FLOAT_EQ(out[0][10], static_cast<float>(left[10] * std::pow(10.0, -6.0 / 20.0)));
  EXPECT_EQ(plugin.Process({}, {}, 0), kResultOk);  // a flush call: no buses, no samples
  EXPECT_EQ(plugin.AllocationsDuringProcess(), 0u);

  PluginInstance wide;
  Open(wide, "Test Host", true);
  std::vector<double> l(left.begin(), left.end()), r(right.begin(), right.end());
  std::vector<double> l64 = l, r64 = r;
  wide.Process64({l64.data(), r64.data()}, {l64.data(), r64.data()}, kBlock);
  EXPECT_EQ(l64, l);
  EXPECT_EQ(r64, r);
  std::vector<double> key(kBlock, 0.9);  // a side-chain signal does not reach the output
  wide.Process64({l64.data(), r64.data(), key.data(), key.data()}, {l64.data(), r64.data()}, kBlock);
  EXPECT_EQ(l64, l);
  EXPECT_EQ(wide.AllocationsDuringProcess(), 0u);
}

TEST_F(FixturePlugin, LatencyChangedOnTheAudioThreadReachesTheHostAtAnIdleTickOfTheUIThread) {
  PluginInstance plugin;
  Open(plugin);
  std::vector<float> left = Signal(kBlock, 0.3f), right = Signal(kBlock, 1.3f);
  plugin.InputChanges().Add(kLatency, 0, 10.0 / kMaxLatency);
  std::thread audio([&] { Block(plugin, left, right); });
  audio.join();
  EXPECT_EQ(plugin.Processor()->getLatencySamples(), 10u);
  auto restarts = [&] {
    std::vector<ComponentHandler::Call> found;
    for (const auto& call : plugin.Handler().Calls())
      if (call.kind == ComponentHandler::Kind::Restart) found.push_back(call);
    return found;
  };
  EXPECT_TRUE(restarts().empty());  // never from the audio thread

  plugin.RunUiLoopFor(200);
  ASSERT_EQ(restarts().size(), 1u);
  EXPECT_EQ(restarts()[0].flags, kLatencyChanged);
  EXPECT_EQ(restarts()[0].thread, std::this_thread::get_id());

  // The block routine does not delay; the bypass path delays by the reported latency.
  EXPECT_EQ(Block(plugin, left, right)[0], left);
  plugin.InputChanges().Add(kBypass, 0, 1.0);
  auto bypassed = Block(plugin, left, right);
  for (int i = 0; i < kBlock; ++i)
    EXPECT_EQ(bypassed[0][static_cast<size_t>(i)], i < 10 ? 0.0f : left[static_cast<size_t>(i - 10)]) << i;
  EXPECT_EQ(plugin.Processor()->getTailSamples(), 0u);
  EXPECT_EQ(plugin.AllocationsDuringProcess(), 0u);
}

TEST_F(FixturePlugin, StateRoundTripsWithTheBypassFlagAndTheRestoredBypassWaitsForTheNextBlock) {
  PluginInstance plugin;
  Open(plugin);
  plugin.InputChanges().Add(kGain, 0, 0.25);
  plugin.InputChanges().Add(kLatency, 0, 5.0 / kMaxLatency);
  plugin.InputChanges().Add(kBypass, 0, 1.0);
  Block(plugin, Signal(8, 0), Signal(8, 1));  // on the UI thread, inside a process call
  auto restarts = [](PluginInstance& p) {
    int n = 0;
    for (const auto& call : p.Handler().Calls()) n += call.kind == ComponentHandler::Kind::Restart;
    return n;
  };
  EXPECT_EQ(restarts(plugin), 0);
  plugin.RunUiLoopFor(100);
  EXPECT_EQ(restarts(plugin), 1);
  std::vector<uint8_t> chunk = Saved(plugin);
  ASSERT_EQ(chunk.size(), 3 * 8 + 4u);
  EXPECT_EQ(BypassFlagOf(chunk), 1);

  PluginInstance restored;
  Open(restored);
  ASSERT_TRUE(restored.LoadState(chunk));
  EXPECT_DOUBLE_EQ(restored.Controller()->getParamNormalized(kGain), 0.25);
  EXPECT_DOUBLE_EQ(restored.Controller()->getParamNormalized(kBypass), 1.0);
  EXPECT_EQ(restored.Processor()->getLatencySamples(), 5u);
  EXPECT_EQ(restarts(restored), 1);  // outside a process call the UI thread tells the host at once
  // The processor follows the host's queue, but a save before any block keeps the flag.
  EXPECT_EQ(Saved(restored), chunk);
  const std::vector<float> dry = Signal(8, 0);
  std::vector<std::vector<float>> out = Block(restored, dry, Signal(8, 1));
  std::vector<float> bypassCopy(dry.size(), 0.0f);
  std::copy(dry.begin(), dry.end() - 5, bypassCopy.begin() + 5);
  EXPECT_NE(out[0], bypassCopy) << "the switch waits for the queue";
  EXPECT_EQ(Saved(restored), chunk);
  restored.InputChanges().Add(kBypass, 0, 0.0);
  Block(restored, Signal(8, 0), Signal(8, 1));
  EXPECT_EQ(BypassFlagOf(Saved(restored)), 0);
}

TEST_F(FixturePlugin, StateStreamFaultsAreReportedAndKeepWhatWasRead) {
  PluginInstance source;
  Open(source);
  source.InputChanges().Add(kGain, 0, 0.75);
  Block(source, Signal(8, 0), Signal(8, 1));
  const std::vector<uint8_t> chunk = Saved(source);
  const std::vector<uint8_t> defaults = [&] {
    PluginInstance fresh;
    Open(fresh);
    return Saved(fresh);
  }();

  PluginInstance plugin;
  Open(plugin);
  IComponent* component = plugin.Component();
  MemoryStream refusing;
  refusing.writesFail = true;
  EXPECT_EQ(component->getState(&refusing), kResultFalse);
  MemoryStream shortWrites;
  shortWrites.writeLimit = 10;
  EXPECT_EQ(component->getState(&shortWrites), kResultFalse);
  EXPECT_EQ(component->getState(nullptr), kInvalidArgument);
  EXPECT_EQ(component->setState(nullptr), kInvalidArgument);

  MemoryStream failingReads(chunk);
  failingReads.readsReportFailure = true;  // the bytes arrive, the answer says failure
  EXPECT_EQ(component->setState(&failingReads), kResultFalse);
  EXPECT_EQ(Saved(plugin), defaults);

  MemoryStream rejected(std::vector<uint8_t>(chunk.begin(), chunk.begin() + 10));
  EXPECT_EQ(component->setState(&rejected), kResultFalse);
  EXPECT_EQ(plugin.Controller()->getParamNormalized(kBypass), 0.0);

  // A stream that clamps a seek before its start to 0 must not turn a rejected chunk into
  // a bypass flag read from the chunk's first bytes.
  MemoryStream clamping(std::vector<uint8_t>{1, 0, 0, 0, 0, 0, 0, 0, 0, 0});
  clamping.seekClampsNegative = true;
  EXPECT_EQ(component->setState(&clamping), kResultFalse);
  EXPECT_EQ(plugin.Controller()->getParamNormalized(kBypass), 0.0);

  // Without the bypass flag: refused, but the parameters that were read keep their values.
  MemoryStream noFlag(std::vector<uint8_t>(chunk.begin(), chunk.end() - 4));
  EXPECT_EQ(component->setState(&noFlag), kResultFalse);
  EXPECT_EQ(Saved(plugin), chunk);

  // A host stream positioned after bytes of its own: the flag is read after the chunk.
  std::vector<uint8_t> prefixed = {9, 9, 9, 9, 9};
  prefixed.insert(prefixed.end(), chunk.begin(), chunk.end() - 4);
  const int32 odd = 7;
  prefixed.insert(prefixed.end(), reinterpret_cast<const uint8_t*>(&odd), reinterpret_cast<const uint8_t*>(&odd) + 4);
  MemoryStream offset(prefixed);
  offset.seek(5, IBStream::kIBSeekSet, nullptr);
  ASSERT_EQ(component->setState(&offset), kResultOk);
  EXPECT_DOUBLE_EQ(plugin.Controller()->getParamNormalized(kGain), 0.75);
  EXPECT_DOUBLE_EQ(plugin.Controller()->getParamNormalized(kBypass), 1.0);

  PluginInstance lenient;
  Open(lenient, "WaveLab Pro 12");
  MemoryStream lenientReads(chunk);
  lenientReads.readsReportFailure = true;
  EXPECT_EQ(lenient.Component()->setState(&lenientReads), kResultOk);
  EXPECT_DOUBLE_EQ(lenient.Controller()->getParamNormalized(kGain), 0.75);
}

TEST_F(FixturePlugin, EditorViewAttachesSizesAndClosesAndKeepsThePlugInAlive) {
  PluginInstance plugin;
  Open(plugin);
  IEditController* controller = plugin.Controller();
  EXPECT_EQ(controller->createView("x"), nullptr);
  EXPECT_EQ(controller->createView(nullptr), nullptr);
  ASSERT_TRUE(plugin.OpenEditor());
  IPlugView* view = plugin.Editor();
  EXPECT_EQ(view->isPlatformTypeSupported(plugkit::platform::kViewPlatformType), kResultOk);
  EXPECT_EQ(view->isPlatformTypeSupported("HWND"), kResultOk);
  EXPECT_EQ(view->isPlatformTypeSupported("NSView"), kResultFalse);
  EXPECT_EQ(view->isPlatformTypeSupported(nullptr), kResultFalse);

  ViewRect size{};
  ASSERT_EQ(view->getSize(&size), kResultOk);
  EXPECT_EQ(Edges(size), Edges(ViewRect(0, 0, 227, 303)));
  EXPECT_EQ(view->getSize(nullptr), kInvalidArgument);
  ViewRect wanted(10, 20, 1010, 220);
  EXPECT_EQ(view->checkSizeConstraint(&wanted), kResultOk);
  EXPECT_EQ(Edges(wanted), Edges(ViewRect(10, 20, 237, 323)));
  EXPECT_EQ(view->checkSizeConstraint(&wanted), kResultOk);
  EXPECT_EQ(Edges(wanted), Edges(ViewRect(10, 20, 237, 323)));
  EXPECT_EQ(view->checkSizeConstraint(nullptr), kInvalidArgument);
  // Rectangles at the ends of the int32 range are constrained without overflow.
  ViewRect farRight(INT32_MAX - 10, 0, INT32_MAX, 10);
  EXPECT_EQ(view->checkSizeConstraint(&farRight), kResultOk);
  EXPECT_EQ(Edges(farRight), Edges(ViewRect(INT32_MAX - 10, 0, INT32_MAX, 303)));
  ViewRect everything(INT32_MIN, INT32_MIN, INT32_MAX, INT32_MAX);
  EXPECT_EQ(view->checkSizeConstraint(&everything), kResultOk);
  EXPECT_EQ(Edges(everything), Edges(ViewRect(INT32_MIN, INT32_MIN, INT32_MIN + 227, INT32_MIN + 303)));
  EXPECT_EQ(view->onSize(&wanted), kResultFalse);  // the editor has a fixed size
  EXPECT_EQ(view->canResize(), kResultFalse);
  FUnknownPtr<IPlugViewContentScaleSupport> scale(view);
  ASSERT_TRUE(scale);
  EXPECT_EQ(scale->setContentScaleFactor(1.5f), kResultOk);

  EXPECT_EQ(view->onKeyDown(u'a', 0, 0), kResultOk);
  EXPECT_EQ(view->onKeyDown(0, 129, 0), kResultOk);    // a character by key code: '1'
  EXPECT_EQ(view->onKeyDown(0, 58, 0), kResultFalse);  // no virtual key
  EXPECT_EQ(view->onKeyUp(u'a', 0, 0), kResultOk);
  plugin.CloseEditor();

  // A second view refuses a missing parent; a view the host still holds keeps the plug-in.
  IPlugView* late = controller->createView(ViewType::kEditor);
  ASSERT_NE(late, nullptr);
  EXPECT_EQ(late->attached(nullptr, plugkit::platform::kViewPlatformType), kResultFalse);
  EXPECT_EQ(late->attached(reinterpret_cast<void*>(1), "NSView"), kResultFalse);
  plugin.Destroy();
  ViewRect stillThere{};
  EXPECT_EQ(late->getSize(&stillThere), kResultOk);
  late->release();
}

TEST_F(FixturePlugin, RenderTakesParametersByIdBypassAndASavedSessionState) {
  tarnwell::host::AudioFile input, bypassed, restored;
  input.sampleRate = 48000;
  input.channels = {Signal(300, 0.2f), Signal(300, 1.2f)};
  tarnwell::host::RenderOptions options;
  options.blockSize = 77;
  options.parameters = {{"1", "10"}};  // the latency, by id and display text
  options.bypass = true;
  options.saveStateFile = ::testing::TempDir() + "tarnwell_fixture_state.bin";
  std::string error;
  ASSERT_TRUE(Render(module_, input, options, &bypassed, &error)) << error;
  for (size_t i = 0; i < 300; ++i) ASSERT_EQ(bypassed.channels[0][i], i < 10 ? 0.0f : input.channels[0][i - 10]) << i;

  tarnwell::host::RenderOptions session;
  session.blockSize = 128;
  session.stateFile = options.saveStateFile;
  ASSERT_TRUE(Render(module_, input, session, &restored, &error)) << error;
  EXPECT_EQ(restored.channels, bypassed.channels);
  std::remove(options.saveStateFile.c_str());
}

TEST_F(FixturePlugin, UnderAHostThatSendsEveryKeyOnlyTheSpaceBarIsPassedOn) {
  for (bool nameFails : {false, true}) {
    PluginInstance plugin;
    plugin.Host().nameFails = nameFails;  // then the host counts as unknown
    Open(plugin, "REAPER");
    ASSERT_TRUE(plugin.OpenEditor());
    IPlugView* view = plugin.Editor();
    EXPECT_EQ(view->onKeyDown(u'a', 0, 0), nameFails ? kResultOk : kResultFalse);
    EXPECT_EQ(view->onKeyDown(0, 7, 0), kResultOk);
  }
}

TEST_F(FixturePlugin, TerminateAndInitializeAgainExportsEverythingAnew) {
  tarnwell::host::HostApplication host;  // outlives the plug-in, which holds it until terminate
  PluginInstance plugin;
  Open(plugin);
  plugin.Stop();
  IComponent* component = plugin.Component();
  ASSERT_EQ(component->terminate(), kResultOk);
  EXPECT_EQ(plugin.Controller()->getParameterCount(), 0);
  ASSERT_EQ(component->initialize(&host), kResultOk);
  EXPECT_EQ(plugin.Controller()->getParameterCount(), 4);
  FUnknownPtr<IUnitInfo> units(plugin.Controller());
  EXPECT_EQ(units->getUnitCount(), 3);
  EXPECT_EQ(plugin.Controller()->setParamNormalized(kBypass, 1.0), kResultOk);
  EXPECT_EQ(component->initialize(&host), kResultFalse);  // already initialised
}

}  // namespace
