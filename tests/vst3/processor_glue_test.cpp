// The processing glue driven with ProcessData as hosts build it: parameter queues, bypass
// with latency, buses and side-chain, 32/64-bit buffers, transport, MIDI both ways, and
// no allocation in any of it.
#include <gtest/gtest.h>

#include <cmath>
#include <vector>

#include <xmmintrin.h>

#include "framework/denormal_mode.h"
#include "framework/vst3/ids.h"
#include "glue_processor.h"

namespace plugkit {
namespace {

using namespace Steinberg;
using namespace Steinberg::Vst;
using test::GlueProcessor;
using test::GlueSetup;

std::vector<float> Ramp(int n, float from) {
  std::vector<float> v(static_cast<size_t>(n));
  for (int i = 0; i < n; ++i) v[static_cast<size_t>(i)] = from + 0.25f * static_cast<float>(i);
  return v;
}

ProcessSetup ProcessingSetup(int32 maxBlock, int32 sampleSize = kSample32, int32 mode = kRealtime) {
  ProcessSetup setup{};
  setup.processMode = mode;
  setup.symbolicSampleSize = sampleSize;
  setup.maxSamplesPerBlock = maxBlock;
  setup.sampleRate = 48000.0;
  return setup;
}

TEST(ProcessorGlue, QueuesApplyOnlyTheirLastPointAndUnknownIdsChangeNothing) {
  GlueProcessor p(GlueSetup("2-2"));
  p.hostChanges.Add(1, 3, 0.25);
  p.hostChanges.Add(1, 40, 0.75);  // the last point wins, once, with its offset
  p.hostChanges.Add(2, 7, 0.6);    // snapped to the 0.5 step
  for (ParamID ignored : {3u, 0xFFFFu, 65537u, 0x80000000u, 0xFFFFFFFFu}) p.hostChanges.Add(ignored, 0, 1.0);
  std::vector<float> l = Ramp(8, 0), r = Ramp(8, 1);
  ASSERT_EQ(p.Run<float>({{l.data(), r.data()}}, {{l.data(), r.data()}}, 8), kResultOk);

  ASSERT_EQ(p.changes.size(), 2u);
  EXPECT_EQ(p.changes[0].index, 1);
  EXPECT_EQ(p.changes[0].offset, 40);
  EXPECT_DOUBLE_EQ(p.changes[0].value, 5.0);
  EXPECT_EQ(p.changes[1].index, 2);
  EXPECT_DOUBLE_EQ(p.changes[1].value, 2.0);
  EXPECT_DOUBLE_EQ(p.params[0]->Value(), 0.0);
  EXPECT_EQ(p.midiToUI.ElementsAvailable(), 0);
  EXPECT_FALSE(p.IsBypassed());
}

TEST(ProcessorGlue, BypassPassesInputDelayedByTheLatencyWithoutTheBlockRoutine) {
  GlueProcessor p(GlueSetup("2-2", 3));
  ASSERT_EQ(p.SetupProcessing(ProcessingSetup(64)), kResultOk);
  p.gain = 2.0;
  p.hostChanges.Add(kBypassParamId, 0, 0.6);
  std::vector<float> l = Ramp(6, 1), r = Ramp(6, -1), outL(6), outR(6);
  p.Run<float>({{l.data(), r.data()}}, {{outL.data(), outR.data()}}, 6);
  EXPECT_TRUE(p.IsBypassed());
  EXPECT_EQ(p.renderCalls, 0);
  EXPECT_EQ(outL, (std::vector<float>{0, 0, 0, l[0], l[1], l[2]}));
  EXPECT_EQ(outR, (std::vector<float>{0, 0, 0, r[0], r[1], r[2]}));

  p.hostChanges.Add(kBypassParamId, 0, 0.4);
  p.Run<float>({{l.data(), r.data()}}, {{outL.data(), outR.data()}}, 6);
  EXPECT_FALSE(p.IsBypassed());
  EXPECT_EQ(p.renderCalls, 1);
  EXPECT_EQ(outL[5], 2.0f * l[5]);
}

TEST(ProcessorGlue, SixtyFourBitRunsInPlaceOnHostBuffersAndThirtyTwoBitGivesTheSameSamples) {
  GlueProcessor p(GlueSetup("2-2"));
  ASSERT_EQ(p.SetupProcessing(ProcessingSetup(16, kSample64)), kResultOk);
  p.gain = 0.5;
  std::vector<double> l(16), r(16);
  for (int i = 0; i < 16; ++i) l[static_cast<size_t>(i)] = r[static_cast<size_t>(i)] = 0.1 * i;
  p.Run<double>({{l.data(), r.data()}}, {{l.data(), r.data()}}, 16);
  EXPECT_EQ(p.firstInputs.back(), l.data());
  std::vector<float> l32 = Ramp(16, 0), r32 = Ramp(16, 0), out(16), outR(16);
  p.Run<float>({{l32.data(), r32.data()}}, {{out.data(), outR.data()}}, 16);
  for (int i = 0; i < 16; ++i) EXPECT_EQ(out[static_cast<size_t>(i)], 0.5f * l32[static_cast<size_t>(i)]);
}

TEST(ProcessorGlue, BlocksLongerThanTheSetUpRunInPiecesAndNegativeCountsRenderNothing) {
  GlueProcessor p(GlueSetup("2-2"));
  ASSERT_EQ(p.SetupProcessing(ProcessingSetup(100)), kResultOk);
  std::vector<float> l = Ramp(250, 0), r = Ramp(250, 1), outL(250), outR(250);
  p.Run<float>({{l.data(), r.data()}}, {{outL.data(), outR.data()}}, 250);
  EXPECT_EQ(p.renderedFrames, (std::vector<int32_t>{100, 100, 50}));
  EXPECT_EQ(outL, l);
  EXPECT_EQ(outR, r);
  p.Run<float>({{l.data(), r.data()}}, {{outL.data(), outR.data()}}, -5);
  p.Run<float>({}, {}, 0);  // a flush call: no buses, no samples
  EXPECT_EQ(p.renderCalls, 3);
}

TEST(ProcessorGlue, TransportComesFromTheLastContextAndIsZeroWithoutOne) {
  GlueProcessor p(GlueSetup("2-2"));
  std::vector<float> l(4), r(4);
  p.Run<float>({{l.data(), r.data()}}, {{l.data(), r.data()}}, 4);
  EXPECT_EQ(p.Transport().tempo, 0.0);
  EXPECT_EQ(p.Transport().samplePosition, -1.0);
  EXPECT_EQ(p.Transport().musicalPosition, 0.0);
  EXPECT_FALSE(p.Transport().transportIsRunning);

  ProcessContext context{};
  context.tempo = 96.0;
  context.projectTimeSamples = 4800;
  context.projectTimeMusic = 3.5;
  context.barPositionMusic = 2.0;
  context.cycleStartMusic = 1.0;
  context.cycleEndMusic = 9.0;
  context.timeSigNumerator = 6;
  context.timeSigDenominator = 8;
  context.state = ProcessContext::kPlaying | ProcessContext::kCycleActive;
  p.Run<float>({{l.data(), r.data()}}, {{l.data(), r.data()}}, 4, &context);
  const TransportInfo& t = p.Transport();
  EXPECT_EQ(t.tempo, 96.0);
  EXPECT_EQ(t.samplePosition, -1.0);  // the sample position needs the musical-time bit
  EXPECT_EQ(t.musicalPosition, 3.5);
  EXPECT_EQ(t.lastBarStart, 2.0);
  EXPECT_EQ(t.cycleStart, 1.0);
  EXPECT_EQ(t.cycleEnd, 9.0);
  EXPECT_EQ(t.timeSignatureNumerator, 6);
  EXPECT_EQ(t.timeSignatureDenominator, 8);
  EXPECT_TRUE(t.transportIsRunning);
  EXPECT_TRUE(t.transportLoopEnabled);

  context.state |= ProcessContext::kProjectTimeMusicValid;
  p.Run<float>({{l.data(), r.data()}}, {{l.data(), r.data()}}, 4, &context);
  p.Run<float>({{l.data(), r.data()}}, {{l.data(), r.data()}}, 4);  // keeps the last context
  EXPECT_EQ(p.Transport().samplePosition, 4800.0);
}

TEST(ProcessorGlue, SideChainConnectsFromItsFirstChannelAndIsSilencedWhenDeactivated) {
  GlueProcessor p(GlueSetup("2.2-2"));
  p.declaredInputs = 2;
  ASSERT_EQ(p.SideChainFirstChannel(), 2);
  std::vector<float> l = Ramp(4, 1), r = Ramp(4, 2), keyL = Ramp(4, 5), keyR = Ramp(4, 6), outL(4), outR(4);

  p.inputActive = {true, true};
  p.Run<float>({{l.data(), r.data()}, {keyL.data(), keyR.data()}}, {{outL.data(), outR.data()}}, 4);
  EXPECT_EQ(p.ConnectedChannelCount(BusDirection::Input), 4);
  p.inputActive = {true, false};
  p.Run<float>({{l.data(), r.data()}, {keyL.data(), keyR.data()}}, {{outL.data(), outR.data()}}, 4);
  EXPECT_EQ(p.ConnectedChannelCount(BusDirection::Input), 2);
  EXPECT_FALSE(p.IsChannelConnected(BusDirection::Input, 2));

  // A host that leaves out a direction: every channel of it renders from scratch.
  p.Run<float>({}, {}, 4);
  EXPECT_EQ(p.ConnectedChannelCount(BusDirection::Input), 0);
  EXPECT_EQ(p.ConnectedChannelCount(BusDirection::Output), 0);
}

TEST(ProcessorGlue, SetupRefusesWhatItCannotRunAndSizesTheMidiOutputList) {
  GlueProcessor p(GlueSetup("2-2", 0, false, true));
  EXPECT_EQ(p.CanProcessSampleSize(kSample32), kResultOk);
  EXPECT_EQ(p.CanProcessSampleSize(kSample64), kResultOk);
  EXPECT_EQ(p.CanProcessSampleSize(2), kResultFalse);
  const int resets = p.resets;
  for (ProcessSetup bad : {ProcessingSetup(512, 2), ProcessingSetup(0), ProcessingSetup(-1)})
    EXPECT_EQ(p.SetupProcessing(bad), kResultFalse);
  ProcessSetup noRate = ProcessingSetup(512);
  noRate.sampleRate = 0;
  EXPECT_EQ(p.SetupProcessing(noRate), kResultFalse);
  EXPECT_EQ(p.resets, resets);
  EXPECT_EQ(p.BlockSize(), IPluginVST3ProcessorBase::kInitialBlockSize);

  ASSERT_EQ(p.SetupProcessing(ProcessingSetup(1000, kSample64, kOffline)), kResultOk);
  EXPECT_EQ(p.OutputEvents().Capacity(), 1024);
  EXPECT_EQ(p.BlockSize(), 1000);
  EXPECT_EQ(p.resets, resets + 1);
  std::vector<double> l(4), r(4);
  p.Run<double>({{l.data(), r.data()}}, {{l.data(), r.data()}}, 4);
  EXPECT_TRUE(p.IsRenderingOffline());
  p.SetProcessing(false);
  EXPECT_EQ(p.resets, resets + 2);
}

TEST(ProcessorGlue, ControllerPseudoParametersBecomeMidiForTheUI) {
  GlueProcessor p(GlueSetup("2-2"));
  const ParamID channel15Volume = kMidiControllerParamBase + 130 * 15 + 7;
  p.hostChanges.Add(kMidiControllerParamBase + 7, 2, 2.0);  // clamped to 1
  p.hostChanges.Add(kMidiControllerParamBase + 128, 3, 0.5);
  p.hostChanges.Add(kMidiControllerParamBase + 129, 4, 0.5);
  p.hostChanges.Add(kMidiControllerParamBase + 129, 4, 1.0);
  p.hostChanges.Add(channel15Volume, 5, 0.0);
  p.hostChanges.Add(kMidiControllerParamBase + 130 * 16, 6, 1.0);  // channel 16: no such channel
  std::vector<float> l(4), r(4);
  p.Run<float>({{l.data(), r.data()}}, {{l.data(), r.data()}}, 4);

  const uint8_t expected[][4] = {{2, 0xB0, 7, 127}, {3, 0xD0, 63, 0}, {4, 0xE0, 0x7F, 0x7F}, {5, 0xBF, 7, 0}};
  for (const auto& e : expected) {
    MidiMessage m;
    ASSERT_TRUE(p.midiToUI.Pop(m));
    EXPECT_EQ(m.offset, e[0]);
    EXPECT_EQ(m.status, e[1]);
    EXPECT_EQ(m.data1, e[2]);
    EXPECT_EQ(m.data2, e[3]);
  }
  EXPECT_EQ(p.midiToUI.ElementsAvailable(), 0);
  EXPECT_EQ(p.OutputEvents().Pending(), 0);  // no MIDI output: nothing piles up
}

TEST(ProcessorGlue, MidiInputReachesThePlugInAndTheUI) {
  GlueProcessor p(GlueSetup("2-2", 0, true, true));
  Event on{};
  on.type = Event::kNoteOnEvent;
  on.sampleOffset = 5;
  on.noteOn.channel = 17;  // masked to channel 1
  on.noteOn.pitch = 200;   // masked to 72
  on.noteOn.velocity = 1.5f;
  Event sysEx{};
  sysEx.type = Event::kDataEvent;
  const uint8 bytes[] = {0xF0, 0x7E, 0xF7};
  sysEx.data.bytes = bytes;
  sysEx.data.size = 3;
  Event off{};
  off.type = Event::kNoteOffEvent;
  off.sampleOffset = 2;
  off.noteOff.pitch = 60;
  for (Event* e : {&on, &sysEx, &off}) p.hostEventsIn.addEvent(*e);
  p.midiFromUI.Push(MidiMessage{5, 0xB0, 1, 2});
  std::vector<float> l(8), r(8);
  p.Run<float>({{l.data(), r.data()}}, {{l.data(), r.data()}}, 8);

  EXPECT_EQ(p.sysExSizes, (std::vector<int32_t>{3}));
  // Handled messages go out sorted by offset, equal offsets in arrival order.
  const auto& out = p.hostEventsOut.Events();
  ASSERT_EQ(out.size(), 3u);
  EXPECT_EQ(out[0].type, Event::kNoteOffEvent);
  EXPECT_EQ(out[0].sampleOffset, 2);
  EXPECT_EQ(out[1].type, Event::kNoteOnEvent);
  EXPECT_EQ(out[1].noteOn.channel, 1);
  EXPECT_EQ(out[1].noteOn.pitch, 72);
  EXPECT_EQ(out[1].noteOn.velocity, 1.0f);
  EXPECT_EQ(out[2].type, Event::kLegacyMIDICCOutEvent);
  EXPECT_EQ(out[2].midiCCOut.controlNumber, 1);
  EXPECT_EQ(out[2].midiCCOut.value, 2);
  MidiMessage toUI;
  ASSERT_TRUE(p.midiToUI.Pop(toUI));
  EXPECT_EQ(toUI.status, 0x91);
  ASSERT_TRUE(p.midiToUI.Pop(toUI));
  EXPECT_EQ(toUI.status, 0x80);
  EXPECT_FALSE(p.midiToUI.Pop(toUI));  // the page's own messages do not come back to it
}

TEST(ProcessorGlue, MidiOutputConversionsAndMessagesWaitingWithoutAHostList) {
  GlueProcessor p(GlueSetup("2-2", 0, false, true));
  p.EmitMidi(MidiMessage{5, 0xE3, 0x00, 0x40});  // centre bend, raw 14 bits
  p.EmitMidi(MidiMessage{2, 0xC0, 9, 0});
  p.EmitMidi(MidiMessage{5, 0xD0, 33, 0});
  p.EmitMidi(MidiMessage{1, 0xF8, 0, 0});  // system message: not sent
  p.EmitMidi(MidiMessage{3, 0xA2, 60, 90});
  SysExRecord record;
  const uint8_t bytes[] = {0xF0, 1, 2, 0xF7};
  ASSERT_TRUE(MakeSysExRecord(SysExMessage{7, 4, bytes}, record));
  p.sysExFromUI.Push(record);
  std::vector<float> l(8), r(8);
  p.Run<float>({{l.data(), r.data()}}, {{l.data(), r.data()}}, 8);

  const auto& out = p.hostEventsOut.Events();
  ASSERT_EQ(out.size(), 5u);
  const struct {
    int32 offset;
    uint8 controller;
    int8 value, value2;
  } legacy[] = {{2, 130, 9, 0}, {3, 131, 60, 90}, {5, 129, 0x00, 0x40}, {5, 128, 33, 0}};
  for (size_t i = 0; i < 4; ++i) {
    EXPECT_EQ(out[i].type, Event::kLegacyMIDICCOutEvent) << i;
    EXPECT_EQ(out[i].sampleOffset, legacy[i].offset) << i;
    EXPECT_EQ(out[i].midiCCOut.controlNumber, legacy[i].controller) << i;
    EXPECT_EQ(out[i].midiCCOut.value, legacy[i].value) << i;
    EXPECT_EQ(out[i].midiCCOut.value2, legacy[i].value2) << i;
  }
  EXPECT_EQ(out[2].midiCCOut.channel, 3);
  EXPECT_EQ(out[4].type, Event::kDataEvent);
  EXPECT_EQ(out[4].sampleOffset, 7);
  EXPECT_EQ(out[4].data.size, 4u);

  p.hostEventsOut.Clear();
  p.passEventsOut = false;
  p.EmitMidi(MidiMessage{6, 0x90, 60, 100});
  p.Run<float>({{l.data(), r.data()}}, {{l.data(), r.data()}}, 8);
  ASSERT_EQ(p.OutputEvents().Pending(), 1);
  EXPECT_EQ(p.OutputEvents().PendingAt(0).offset, -2);
}

TEST(ProcessorGlue, ProcessCallsAllocateNothingAndFlushDenormalsOnlyWhileRunning) {
  GlueProcessor p(GlueSetup("2.2-2", 4, true, false));
  p.declaredInputs = 2;
  p.inputActive = {true, true};
  ASSERT_EQ(p.SetupProcessing(ProcessingSetup(64)), kResultOk);
  std::vector<float> l = Ramp(200, 0), r = Ramp(200, 0), k(200), outL(200), outR(200);
  ProcessContext context{};
  context.state = ProcessContext::kPlaying;
  const unsigned int before = _mm_getcsr();
  for (int block = 0; block < 4; ++block) {
    p.hostChanges.Add(0, 0, 0.3);
    p.hostChanges.Add(kBypassParamId, 0, block % 2 ? 1.0 : 0.0);
    p.hostChanges.Add(kMidiControllerParamBase + 1, 0, 0.5);
    Event on{};
    on.type = Event::kNoteOnEvent;
    p.hostEventsIn.addEvent(on);
    p.Run<float>({{l.data(), r.data()}, {k.data(), k.data()}}, {{outL.data(), outR.data()}}, 200, &context);
  }
  EXPECT_EQ(p.processAllocations, 0u);
  EXPECT_EQ(p.denormalBits, ScopedDenormalsOff::kFlushBits);
  EXPECT_EQ(_mm_getcsr(), before);
}

}  // namespace
}  // namespace plugkit

namespace plugkit {
namespace {

TEST(MidiOutputList, GrowsByItsStepWhenFullAndReusesConsumedRoom) {
  MidiOutputList list;
  list.Prepare(1);
  EXPECT_EQ(list.Capacity(), 512);
  for (int32_t i = 0; i < 513; ++i) list.Insert(MidiMessage{i, 0x90, 0, 0});
  EXPECT_EQ(list.Capacity(), 1024);
  EXPECT_EQ(list.Pending(), 513);
  EXPECT_EQ(list.PendingAt(512).offset, 512);

  list.Consume(600);  // more than pending: all of them
  EXPECT_EQ(list.Pending(), 0);
  for (int32_t i = 0; i < 1024; ++i) list.Insert(MidiMessage{1, 0x80, 0, 0});
  EXPECT_EQ(list.Capacity(), 1024);  // the consumed entries made the room
  list.Prepare(1000);                // pending entries keep their room
  EXPECT_EQ(list.Capacity(), 1024);
  EXPECT_EQ(list.Pending(), 1024);
}

}  // namespace
}  // namespace plugkit
