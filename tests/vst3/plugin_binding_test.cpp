// The binding inside one process: which framework hooks a host call sets off, the calls
// towards the host, editor resizes, latency restarts, and the plug-in kinds' buses.
#include <gtest/gtest.h>

#include <thread>
#include <vector>

#include "binding_plugin.h"
#include "framework/vst3/ids.h"
#include "framework/vst3/view.h"
#include "host/component_handler.h"
#include "host/host_application.h"
#include "host/memory_stream.h"
#include "host/plug_frame.h"
#include "loader_only_runtime.h"
#include "platform/host_window.h"
#include "platform/view_platform_type.h"
#include "vst3_test_text.h"

namespace plugkit {
namespace {

using namespace Steinberg;
using namespace Steinberg::Vst;
using tarnwell::host::ComponentHandler;
using test::BindingPlugin;
using test::BindingSetup;
using test::HookCall;
using test::Owned;

// A host around one plug-in: initialised with a named host, a component handler attached.
struct Hosted {
  explicit Hosted(const char* hostName = "Test Host", const PluginSetup& setup = BindingSetup())
      : host(hostName), plugin(setup) {
    EXPECT_EQ(plugin->initialize(&host), kResultOk);
    plugin->setComponentHandler(&handler);
  }
  ~Hosted() {
    plugin->setComponentHandler(nullptr);
    plugin->terminate();
  }
  std::vector<ComponentHandler::Call> Calls(ComponentHandler::Kind kind) const {
    std::vector<ComponentHandler::Call> found;
    for (const auto& call : handler.Calls())
      if (call.kind == kind) found.push_back(call);
    return found;
  }

  tarnwell::host::HostApplication host;
  ComponentHandler handler;
  Owned<> plugin;
};

TEST(PluginBinding, InitializeIdentifiesTheHostOnceAndResetsEveryParameter) {
  Hosted hosted("Cubase 13");
  BindingPlugin& p = *hosted.plugin;
  EXPECT_EQ(p.GetHostId(), 3);
  EXPECT_STREQ(p.HostName(), "Cubase 13");
  EXPECT_EQ(p.Count(HookCall::HostKnown), 2);  // when identified, then once more by initialize
  int resets = 0;
  for (const HookCall& call : p.calls)
    if (call.kind == HookCall::ParamChange && call.origin == ParamChangeOrigin::Reset && call.offset == -1) ++resets;
  EXPECT_EQ(resets, 2);

  p.terminate();
  tarnwell::host::HostApplication other("REAPER");
  ASSERT_EQ(p.initialize(&other), kResultOk);
  EXPECT_EQ(p.GetHostId(), 3);  // a later initialize does not identify again
  EXPECT_EQ(p.Count(HookCall::HostKnown), 3);
  p.terminate();
  ASSERT_EQ(p.initialize(&hosted.host), kResultOk);

  Owned<> contextless;  // initialised without a host: a second initialize is still refused
  ASSERT_EQ(contextless->initialize(nullptr), kResultOk);
  EXPECT_EQ(contextless->initialize(nullptr), kResultFalse);
  EXPECT_EQ(contextless->getParameterCount(), 3);
  contextless->terminate();

  tarnwell::host::HostApplication failing("REAPER");
  failing.nameFails = true;
  Owned<> unnamed;
  ASSERT_EQ(unnamed->initialize(&failing), kResultOk);
  EXPECT_EQ(unnamed->GetHostId(), 0);
  EXPECT_STREQ(unnamed->HostName(), "");
  unnamed->terminate();
}

TEST(PluginBinding, TypeQueriesAnswerForTheSdkBases) {
  Owned<> p;
  EXPECT_TRUE(p->isTypeOf("IPluginVST3", false));
  for (const char* base :
       {"SingleComponentEffect", "EditControllerEx1", "EditController", "ComponentBase", "FObject"}) {
    EXPECT_TRUE(p->isTypeOf(base)) << base;
    EXPECT_FALSE(p->isTypeOf(base, false)) << base;
  }
}

TEST(PluginBinding, EditsFromThePageAndTheHostReachTheRightHooks) {
  Hosted hosted;
  BindingPlugin& p = *hosted.plugin;
  p.calls.clear();
  p.BeginParamGestureFromUI(1);
  p.SetParamValueFromUI(1, 0.25);
  p.EndParamGestureFromUI(1);
  const auto edits = hosted.handler.Calls();
  ASSERT_EQ(edits.size(), 3u);
  EXPECT_EQ(edits[0].kind, ComponentHandler::Kind::Begin);
  EXPECT_EQ(edits[1].kind, ComponentHandler::Kind::Perform);
  EXPECT_EQ(edits[1].id, 1u);
  EXPECT_DOUBLE_EQ(edits[1].value, 0.25);
  EXPECT_EQ(edits[2].kind, ComponentHandler::Kind::End);
  EXPECT_DOUBLE_EQ(p.getParamNormalized(1), 0.25);
  EXPECT_DOUBLE_EQ(p.GetParam(1)->Value(), 2.5);
  ASSERT_EQ(p.calls.size(), 2u);
  EXPECT_EQ(p.calls[0].kind, HookCall::ParamChange);
  EXPECT_EQ(p.calls[0].origin, ParamChangeOrigin::UI);
  EXPECT_EQ(p.calls[1].kind, HookCall::UIParamChange);

  // The host's own edit: the IParam and the page follow, the processing hook does not.
  p.calls.clear();
  ASSERT_EQ(p.setParamNormalized(0, 0.5), kResultOk);
  EXPECT_DOUBLE_EQ(p.GetParam(0)->Value(), 5.0);
  ASSERT_EQ(p.calls.size(), 1u);
  EXPECT_EQ(p.calls[0].kind, HookCall::UIParamChange);
  EXPECT_EQ(p.calls[0].origin, ParamChangeOrigin::Host);
  ASSERT_EQ(p.setParamNormalized(kBypassParamId, 1.0), kResultOk);
  EXPECT_EQ(p.calls.size(), 1u);
  EXPECT_FALSE(p.IsBypassed());  // the processor follows the host's queue, not this

  // Without a component handler the calls towards the host go nowhere.
  p.setComponentHandler(nullptr);
  p.SetParamValueFromUI(0, 1.0);
  EXPECT_EQ(hosted.handler.Calls().size(), 3u);
}

TEST(PluginBinding, APlugInsSilentSetReachesTheHostsCopyWithoutAnEditOrAHook) {
  Hosted hosted;
  BindingPlugin& p = *hosted.plugin;
  p.calls.clear();
  const struct {
    int32_t index;
    double value, normalised;
  } cases[] = {{1, 2.5, 0.25}, {0, 20.0, 1.0}, {1, -3.0, 0.0}};
  for (const auto& c : cases) {
    EXPECT_DOUBLE_EQ(p.SetParamValueSilently(c.index, c.value), c.normalised) << c.value;
    EXPECT_DOUBLE_EQ(p.GetParam(c.index)->Value(), 10.0 * c.normalised) << c.value;
    EXPECT_DOUBLE_EQ(p.getParamNormalized(static_cast<ParamID>(c.index)), c.normalised) << c.value;
  }
  // No parameter at these indices: nothing changes, the bypass object included.
  for (int32_t index : {-1, 2, static_cast<int32_t>(kBypassParamId)})
    EXPECT_EQ(p.SetParamValueSilently(index, 5.0), 0.0);
  EXPECT_EQ(p.getParamNormalized(kBypassParamId), 0.0);
  EXPECT_DOUBLE_EQ(p.getParamNormalized(0), 1.0);
  EXPECT_TRUE(hosted.handler.Calls().empty());
  EXPECT_TRUE(p.calls.empty());
}

TEST(PluginBinding, StateRestoreTellsThePlugInOnceAndOnlyOnSuccess) {
  Hosted hosted;
  BindingPlugin& p = *hosted.plugin;
  tarnwell::host::MemoryStream saved;
  ASSERT_EQ(p.getState(&saved), kResultOk);
  tarnwell::host::MemoryStream truncated(std::vector<uint8_t>(saved.Bytes().begin(), saved.Bytes().end() - 4));
  EXPECT_EQ(p.setState(&truncated), kResultFalse);
  EXPECT_EQ(p.Count(HookCall::StateRestored), 0);
  saved.seek(0, IBStream::kIBSeekSet, nullptr);
  ASSERT_EQ(p.setState(&saved), kResultOk);
  EXPECT_EQ(p.Count(HookCall::StateRestored), 1);
}

TEST(PluginBinding, RebuiltBusesKeepTheActivationOfTheirIndex) {
  Hosted hosted;
  BindingPlugin& p = *hosted.plugin;
  ASSERT_EQ(p.activateBus(kAudio, kInput, 1, true), kResultOk);
  SpeakerArrangement stereo[] = {SpeakerArr::kStereo, SpeakerArr::kStereo};
  ASSERT_EQ(p.setBusArrangements(stereo, 2, stereo, 1), kResultOk);

  std::vector<double> main(8, 0.5), key(8, 0.25), out(8), outR(8);
  double* inputs[] = {main.data(), main.data()};
  double* keys[] = {key.data(), key.data()};
  double* outputs[] = {out.data(), outR.data()};
  AudioBusBuffers in[2] = {}, o[1] = {};
  in[0].numChannels = 2;
  in[0].channelBuffers64 = inputs;
  in[1].numChannels = 2;
  in[1].channelBuffers64 = keys;
  o[0].numChannels = 2;
  o[0].channelBuffers64 = outputs;
  ProcessData data{};
  data.symbolicSampleSize = kSample64;
  data.numSamples = 8;
  data.numInputs = 2;
  data.inputs = in;
  data.numOutputs = 1;
  data.outputs = o;
  ASSERT_EQ(p.process(data), kResultOk);
  EXPECT_EQ(p.ConnectedChannelCount(BusDirection::Input), 4);  // the side-chain is still on
}

TEST(PluginBinding, HostViewResizesOnlyForANewSizeOfAnAttachedViewWithAFrame) {
  test::LoaderOnlyRuntime browser;
  Hosted hosted;
  BindingPlugin& p = *hosted.plugin;
  tarnwell::host::PlugFrame frame;
  IPlugView* view = p.createView(ViewType::kEditor);
  ASSERT_NE(view, nullptr);
  view->setFrame(&frame);

  EXPECT_TRUE(p.ResizeHostView(400, 250, true));  // not attached yet: only the size is kept
  EXPECT_TRUE(frame.Resizes().empty());
  EXPECT_EQ(p.EditorWidth(), 400);
  int parent = 0;
  ASSERT_EQ(view->attached(&parent, "HWND"), kResultOk);
  EXPECT_TRUE(p.ResizeHostView(400, 250, true));  // the current size
  EXPECT_TRUE(frame.Resizes().empty());
  EXPECT_TRUE(p.ResizeHostView(500, 260, false));
  ASSERT_EQ(frame.Resizes().size(), 1u);
  EXPECT_EQ(frame.Resizes()[0].right, 500);
  EXPECT_EQ(frame.Resizes()[0].bottom, 260);
  EXPECT_EQ(p.EditorHeight(), 260);

  view->removed();
  view->release();
  EXPECT_EQ(p.CurrentView(), nullptr);
  EXPECT_TRUE(p.ResizeHostView(300, 200, true));  // no view: nothing to ask

  PluginSetup noEditor = BindingSetup();
  noEditor.hasEditor = 0;
  Hosted plain("Test Host", noEditor);
  EXPECT_EQ(plain.plugin->createView(ViewType::kEditor), nullptr);
  EXPECT_TRUE(plain.plugin->ResizeHostView(10, 10, true));
  EXPECT_EQ(plain.plugin->EditorWidth(), 300);
}

TEST(PluginBinding, WithoutABrowserLoaderAViewIsOfferedOnlyWhereThePlatformShowsOneAnyway) {
  test::LoaderOnlyRuntime browser;
  Hosted hosted;
  IPlugView* view = hosted.plugin->createView(ViewType::kEditor);
  ASSERT_NE(view, nullptr);
  const char* const type = platform::kViewPlatformType;
  browser.loaderFound = false;
  const tresult offered = platform::kViewWithoutBrowserLoader ? kResultOk : kResultFalse;
  EXPECT_EQ(view->isPlatformTypeSupported(type), offered);
  EXPECT_EQ(view->isPlatformTypeSupported("HWND"), offered);
  int parent = 0;
  EXPECT_EQ(view->attached(&parent, type), offered);
  if (offered == kResultOk) view->removed();
  IPlugView* another = hosted.plugin->createView(ViewType::kEditor);
  EXPECT_EQ(another != nullptr, platform::kViewWithoutBrowserLoader);
  if (another != nullptr) another->release();

  browser.loaderFound = true;  // a loader installed meanwhile is found
  EXPECT_EQ(view->isPlatformTypeSupported(type), kResultOk);
  view->release();
}

TEST(PluginBinding, LatencyRestartsAtOnceOnTheUIThreadAndAtTheNextTickFromElsewhere) {
  Hosted hosted;
  BindingPlugin& p = *hosted.plugin;
  p.SetLatencySamples(32);
  EXPECT_EQ(hosted.Calls(ComponentHandler::Kind::Restart).size(), 1u);
  EXPECT_EQ(p.getLatencySamples(), 32u);

  std::thread audio([&] { p.SetLatencySamples(48); });
  audio.join();
  EXPECT_EQ(p.getLatencySamples(), 48u);
  EXPECT_EQ(hosted.Calls(ComponentHandler::Kind::Restart).size(), 1u);
  p.OnIdleTimerTick();
  const auto restarts = hosted.Calls(ComponentHandler::Kind::Restart);
  ASSERT_EQ(restarts.size(), 2u);
  EXPECT_EQ(restarts[1].flags, kLatencyChanged);
  EXPECT_EQ(restarts[1].thread, std::this_thread::get_id());
  p.OnIdleTimerTick();
  EXPECT_EQ(hosted.Calls(ComponentHandler::Kind::Restart).size(), 2u);
}

TEST(PluginBinding, TailActivationAndProgramNames) {
  PluginSetup withPresets = BindingSetup();
  withPresets.presetCount = 2;
  Hosted hosted("Test Host", withPresets);
  BindingPlugin& p = *hosted.plugin;
  p.SetTailLength(0x7FFFFFFF);
  EXPECT_EQ(p.getTailSamples(), 0xFFFFFFFFu);
  p.SetTailLength(100);
  EXPECT_EQ(p.getTailSamples(), 100u);
  EXPECT_EQ(p.setActive(true), kResultOk);
  ASSERT_EQ(p.calls.back().kind, HookCall::Activation);
  EXPECT_EQ(p.calls.back().index, 1);

  String128 name{};
  ASSERT_EQ(p.getProgramName(kProgramListId, 1, name), kResultOk);
  EXPECT_EQ(test::Narrow(name), "empty");
  EXPECT_EQ(p.getProgramName(kProgramListId, 2, name), kResultFalse);
  EXPECT_EQ(p.getProgramName(kProgramListId, -1, name), kResultFalse);
  EXPECT_EQ(p.getProgramName(kProgramListId + 1, 0, name), kResultFalse);
  EXPECT_EQ(p.getProgramName(kProgramListId, 0, nullptr), kInvalidArgument);
}

TEST(PluginBinding, PlugInKindsAndMidiShapeTheBusesAndParameters) {
  PluginSetup instrument = BindingSetup("0-2");
  instrument.pluginKind = PluginKind::Instrument;
  instrument.midiIn = 1;
  Hosted synth("Test Host", instrument);
  EXPECT_EQ(synth.plugin->getBusCount(kAudio, kInput), 0);
  EXPECT_EQ(synth.plugin->getBusCount(kEvent, kInput), 1);
  BusInfo midi{};
  ASSERT_EQ(synth.plugin->getBusInfo(kEvent, kInput, 0, midi), kResultOk);
  EXPECT_EQ(test::Narrow(midi.name), "MIDI Input");
  EXPECT_EQ(midi.channelCount, 1);
  EXPECT_EQ(synth.plugin->getParameterCount(), 2 + 130);  // no bypass for an instrument
  EXPECT_EQ(synth.plugin->BypassParameter(), nullptr);

  PluginSetup midiEffect = BindingSetup("2-0");
  midiEffect.pluginKind = PluginKind::MidiEffect;
  midiEffect.midiOut = 1;
  Hosted arpeggiator("Test Host", midiEffect);
  BusInfo dummy{};
  ASSERT_EQ(arpeggiator.plugin->getBusInfo(kAudio, kOutput, 0, dummy), kResultOk);
  EXPECT_EQ(test::Narrow(dummy.name), "Dummy Output");
  EXPECT_EQ(dummy.channelCount, 0);
  EXPECT_EQ(arpeggiator.plugin->getBusCount(kEvent, kOutput), 1);
}

}  // namespace
}  // namespace plugkit
