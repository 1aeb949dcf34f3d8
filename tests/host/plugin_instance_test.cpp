// The host drives the pass-through fixture module like a DAW: set-up, process calls with
// parameter queues, the allocation guard, and rendering a file.
#include <gtest/gtest.h>

#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <vector>

#include "host/allocation_guard.h"
#include "host/module.h"
#include "host/plugin_instance.h"
#include "host/render.h"
#include "host/wav_file.h"

namespace {

using namespace tarnwell::host;

class PluginInstanceTest : public ::testing::Test {
 protected:
  void SetUp() override {
    std::string error;
    ASSERT_TRUE(module_.Load(FIXTURE_BUNDLE, &error)) << error;
    ASSERT_TRUE(plugin_.Create(module_, "Test Host", &error)) << error;
    ASSERT_TRUE(plugin_.Start(48000.0, 256));
  }

  Module module_;
  PluginInstance plugin_;
};

std::vector<float> Ramp(int n, float scale) {
  std::vector<float> v(static_cast<size_t>(n));
  for (int i = 0; i < n; ++i) v[static_cast<size_t>(i)] = scale * static_cast<float>(std::sin(0.01 * i));
  return v;
}

TEST_F(PluginInstanceTest, AudioPassesBitExactInPlaceAndSeparate) {
  std::vector<float> left = Ramp(256, 0.5f), right = Ramp(256, -0.25f);
  std::vector<float> outL(256), outR(256);
  ASSERT_EQ(plugin_.Process({left.data(), right.data()}, {outL.data(), outR.data()}, 256), Steinberg::kResultOk);
  EXPECT_EQ(outL, left);
  EXPECT_EQ(outR, right);

  std::vector<float> inPlace = left;
  ASSERT_EQ(plugin_.Process({inPlace.data(), right.data()}, {inPlace.data(), outR.data()}, 256), Steinberg::kResultOk);
  EXPECT_EQ(inPlace, left);
  EXPECT_EQ(plugin_.AllocationsDuringProcess(), 0u);
}

TEST_F(PluginInstanceTest, CallLongerThanTheBlockSizeWithChannelsLeftToTheHost) {
  // Set up for 256 frames; a 1000-frame call with the right channels left to the host's
  // scratch must be carried whole, in and out.
  std::vector<float> left = Ramp(1000, 0.5f), outL(1000);
  ASSERT_EQ(plugin_.Process({left.data()}, {outL.data()}, 1000), Steinberg::kResultOk);
  EXPECT_EQ(outL, left);
}

TEST_F(PluginInstanceTest, GuardCatchesAPluginThatAllocatesInProcess) {
  Steinberg::Vst::ParamID id = 0;
  ASSERT_TRUE(plugin_.FindParameter("Allocate In Process", &id));
  std::vector<float> buffer(64);
  plugin_.Process({buffer.data()}, {buffer.data()}, 64);
  EXPECT_EQ(plugin_.AllocationsDuringProcess(), 0u);
  plugin_.InputChanges().Add(id, 0, 1.0);
  plugin_.Process({buffer.data()}, {buffer.data()}, 64);
  EXPECT_GT(plugin_.AllocationsDuringProcess(), 0u);
}

TEST(AllocationGuard, CountsOnlyWhileArmedOnItsOwnThread) {
  uint64_t before = ArmedAllocationsOnThisThread();
  auto* outside = new int(1);
  EXPECT_EQ(ArmedAllocationsOnThisThread(), before);
  uint64_t counted = 0;
  {
    AllocationGuard guard;
    auto* inside = new int(2);
    counted = guard.Count();
    delete inside;
  }
  EXPECT_GE(counted, 1u);  // operator new, and its malloc where the runtime hooks the heap
  delete outside;
}

TEST(AllocationGuard, SeesMallocAndReallocWhereTheRuntimeHasAHook) {
  if (!CHeapCallsAreWatched()) GTEST_SKIP() << "this runtime offers no process-wide heap hook";
  uint64_t counted = 0;
  void* block = nullptr;
  {
    AllocationGuard guard;
    block = std::malloc(16);
    block = std::realloc(block, 4096);
    counted = guard.Count();
  }
  std::free(block);
  EXPECT_GE(counted, 2u);
}

TEST(WavFile, FloatRoundTripAndRefusals) {
  AudioFile audio;
  audio.sampleRate = 44100;
  audio.channels = {Ramp(100, 0.9f), Ramp(100, -0.9f)};
  const std::string path = ::testing::TempDir() + "tarnwell_roundtrip.wav";
  std::string error;
  ASSERT_TRUE(WriteWav(path, audio, &error)) << error;
  AudioFile back;
  ASSERT_TRUE(ReadWav(path, &back, &error)) << error;
  EXPECT_EQ(back.sampleRate, 44100);
  EXPECT_EQ(back.channels, audio.channels);
  // A float file's format chunk carries its extension size, and a fact chunk its frame count.
  std::FILE* written = std::fopen(path.c_str(), "rb");
  ASSERT_NE(written, nullptr);
  unsigned char header[58] = {};
  ASSERT_EQ(std::fread(header, 1, sizeof header, written), sizeof header);
  std::fclose(written);
  EXPECT_EQ(std::string(reinterpret_cast<char*>(header) + 12, 8), std::string("fmt \x12\0\0\0", 8));
  EXPECT_EQ(header[20], 3);
  EXPECT_EQ(header[36] | header[37] << 8, 0) << "extension size";
  EXPECT_EQ(std::string(reinterpret_cast<char*>(header) + 38, 12), std::string("fact\x04\0\0\0\x64\0\0\0", 12));
  EXPECT_EQ(std::string(reinterpret_cast<char*>(header) + 50, 4), "data");
  EXPECT_EQ(header[4] | header[5] << 8, 4 + 26 + 12 + 8 + 800) << "RIFF size";

  const std::string bad = ::testing::TempDir() + "tarnwell_bad.wav";
  std::FILE* f = std::fopen(bad.c_str(), "wb");
  std::fputs("RIFF\x04\x00\x00\x00WAVEdata\xff\xff\xff\x7f", f);  // a data size far past the end
  std::fclose(f);
  EXPECT_FALSE(ReadWav(bad, &back, &error));
  EXPECT_FALSE(ReadWav(::testing::TempDir() + "tarnwell_missing.wav", &back, &error));
  std::remove(path.c_str());
  std::remove(bad.c_str());
}

TEST(Render, FixturePassesAFileThroughUnchangedInOddBlocks) {
  Module module;
  std::string error;
  ASSERT_TRUE(module.Load(FIXTURE_BUNDLE, &error)) << error;
  AudioFile input, output;
  input.sampleRate = 48000;
  input.channels = {Ramp(1000, 0.5f), Ramp(1000, 0.7f)};
  RenderOptions options;
  options.blockSize = 77;  // leaves a short last block
  options.parameters = {{"Gain", "=0.5"}};
  ASSERT_TRUE(Render(module, input, options, &output, &error)) << error;
  EXPECT_EQ(output.channels, input.channels);

  options.parameters = {{"No Such Parameter", "=0.5"}};
  EXPECT_FALSE(Render(module, input, options, &output, &error));
  EXPECT_NE(error.find("No Such Parameter"), std::string::npos);
}

TEST(Render, BlockSizesTakenInTurnOfflineFromAPreRollCarryTheWholeFile) {
  Module module;
  std::string error;
  ASSERT_TRUE(module.Load(FIXTURE_BUNDLE, &error)) << error;
  AudioFile input, output;
  input.sampleRate = 48000;
  input.channels = {Ramp(5000, 0.5f), Ramp(5000, -0.3f)};
  RenderOptions options;
  ASSERT_TRUE(ParseBlockSizes("1024,752,272,1", &options.blockSizes));
  options.offline = true;
  options.startSample = -3000;
  ASSERT_TRUE(Render(module, input, options, &output, &error)) << error;
  EXPECT_EQ(output.channels, input.channels);

  std::vector<int> sizes;
  for (const char* bad : {"", ",", "12,", "0", "-5", "12,x", "1 2", "99999999999"})
    EXPECT_FALSE(ParseBlockSizes(bad, &sizes)) << bad;
}

}  // namespace
