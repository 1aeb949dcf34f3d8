// The state chunk: its layout, what a reader of old and damaged chunks keeps, and the id.
#include <gtest/gtest.h>

#include <cstring>
#include <string>

#include "framework/vst3/ids.h"
#include "host/host_application.h"
#include "host/memory_stream.h"
#include "rack/state_chunk.h"
#include "rack/tarnwell_params.h"
#include "recording_tarnwell.h"

namespace {

using plugkit::StateBlob;
using tarnwell::BayField;
using tarnwell::BayParam;

constexpr int32_t kParamsBlockEnd = 4 + 3 * 53 * 8;  // abSlot, two normalised copies, plain values

class StateChunk : public ::testing::Test {
 protected:
  // A chunk as SaveState writes it, with the gains moved off their defaults.
  StateBlob Saved(const std::string& id) {
    plugin->SetCurrentPresetId(id);
    plugin->GetParam(tarnwell::kInputParam)->SetValue(4.5);
    plugin->GetParam(BayParam(2, BayField::Effect))->SetValue(11);
    StateBlob blob;
    EXPECT_TRUE(plugin->SaveState(blob));
    return blob;
  }
  // A chunk of the parameter block followed by raw bytes.
  static StateBlob ParamsThen(const StateBlob& saved, const void* tail, int32_t size) {
    StateBlob blob;
    blob.Put(saved.Data(), kParamsBlockEnd);
    blob.Put(tail, size);
    return blob;
  }
  test::FakeTempoState tempo;
  test::OwnedTarnwell plugin{tempo};
  test::OwnedTarnwell fresh{tempo};
};

TEST_F(StateChunk, SavedChunkHasItsLayoutAndReadsBack) {
  const StateBlob blob = Saved("factory:present");
  ASSERT_EQ(blob.Size(), 1303);
  EXPECT_EQ(std::memcmp(blob.Data() + 1276, "PBCT", 4), 0);
  int32_t version = 0, length = 0;
  std::memcpy(&version, blob.Data() + 1280, 4);
  std::memcpy(&length, blob.Data() + 1284, 4);
  EXPECT_EQ(version, 2);
  EXPECT_EQ(length, 15);
  EXPECT_EQ(std::string(reinterpret_cast<const char*>(blob.Data()) + 1288, 15), "factory:present");
  double plainInput = 0.0, normalisedInput = 0.0;
  std::memcpy(&normalisedInput, blob.Data() + 4, 8);
  std::memcpy(&plainInput, blob.Data() + 852, 8);
  EXPECT_DOUBLE_EQ(normalisedInput, (4.5 + 12.0) / 24.0);
  EXPECT_DOUBLE_EQ(plainInput, 4.5);

  // Read at an offset, as a host that streams other data first.
  StateBlob shifted;
  shifted.Put("abc", 3);
  shifted.Put(blob.Data(), blob.Size());
  EXPECT_EQ(fresh->LoadState(shifted, 3), 3 + 1303);
  EXPECT_EQ(fresh->CurrentPresetId(), "factory:present");
  EXPECT_DOUBLE_EQ(fresh->ParamValue(tarnwell::kInputParam), 4.5);
  EXPECT_DOUBLE_EQ(fresh->ParamValue(BayParam(2, BayField::Effect)), 11.0);
}

TEST_F(StateChunk, NormalisedCopiesAreNeverRead) {
  StateBlob blob = Saved("user:a.json");
  std::memset(blob.Buffer().DataAs<unsigned char>() + 4, 0x7F, 2 * 53 * 8);
  ASSERT_EQ(fresh->LoadState(blob, 0), blob.Size());
  EXPECT_DOUBLE_EQ(fresh->ParamValue(tarnwell::kInputParam), 4.5);
}

TEST_F(StateChunk, TailsThatLackAReadableIdKeepParametersAndGiveTheEmptyId) {
  const StateBlob saved = Saved("user:x.json");
  struct Case {
    const char* what;
    std::string tail;
  };
  auto word = [](int32_t v) { return std::string(reinterpret_cast<const char*>(&v), 4); };
  const Case cases[] = {
      {"no marker", ""},
      {"marker cut short", "PBC"},
      {"marker without version", "PBCT"},
      {"wrong marker", "TCBP" + word(2) + word(1) + "a"},
      {"version 0", "PBCT" + word(0) + word(1) + "a"},
      {"negative version", "PBCT" + word(-3) + word(1) + "a"},
      {"no length", "PBCT" + word(2)},
      {"negative length", "PBCT" + word(2) + word(-4) + "abcd"},
      {"length past the end", "PBCT" + word(2) + word(10) + "abc"},
      {"huge length", "PBCT" + word(2) + word(0x7FFFFFF0) + "abc"},
      {"version 1 with one id", "PBCT" + word(1) + word(1) + "a"},
  };
  for (const Case& c : cases) {
    fresh->SetCurrentPresetId("user:before.json");
    const StateBlob blob = ParamsThen(saved, c.tail.data(), static_cast<int32_t>(c.tail.size()));
    EXPECT_EQ(fresh->LoadState(blob, 0), kParamsBlockEnd) << c.what;
    EXPECT_EQ(fresh->CurrentPresetId(), "factory:empty") << c.what;
    EXPECT_DOUBLE_EQ(fresh->ParamValue(tarnwell::kInputParam), 4.5) << c.what;
  }
}

TEST_F(StateChunk, VersionOneTakesTheIdOfTheCurrentSlot) {
  const StateBlob saved = Saved("ignored");
  auto word = [](int32_t v) { return std::string(reinterpret_cast<const char*>(&v), 4); };
  const std::string ids = "PBCT" + word(1) + word(11) + "user:a.json" + word(11) + "user:b.json";
  for (const auto& [slot, want] :
       {std::pair{0, "user:a.json"}, {1, "user:b.json"}, {2, "user:a.json"}, {-1, "user:a.json"}}) {
    StateBlob blob = ParamsThen(saved, ids.data(), static_cast<int32_t>(ids.size()));
    std::memcpy(blob.Buffer().DataAs<unsigned char>(), &slot, 4);
    EXPECT_EQ(fresh->LoadState(blob, 0), blob.Size()) << slot;
    EXPECT_EQ(fresh->CurrentPresetId(), want) << slot;
  }
}

TEST_F(StateChunk, TooShortForTheParameterBlockFails) {
  const StateBlob saved = Saved("user:x.json");
  for (int32_t size : {0, 3, 4, 4 + 106 * 8, kParamsBlockEnd - 1}) {
    StateBlob blob;
    blob.Put(saved.Data(), size);
    fresh->SetCurrentPresetId("user:before.json");
    EXPECT_EQ(fresh->LoadState(blob, 0), -1) << size;
    EXPECT_EQ(fresh->CurrentPresetId(), "factory:empty") << size;
  }
  EXPECT_EQ(fresh->LoadState(saved, -1), -1);
}

TEST(StoredPresetId, CutAtNulAnd240BytesWithoutSplittingACharacter) {
  EXPECT_EQ(tarnwell::StoredPresetId(std::string("user:a\0b", 8)), "user:a");
  EXPECT_EQ(tarnwell::StoredPresetId(""), "");
  EXPECT_EQ(tarnwell::StoredPresetId(std::string(300, 'x')), std::string(240, 'x'));
  // "人" is three bytes; 80 of them end exactly at 240.
  std::string cjk;
  for (int i = 0; i < 100; ++i) cjk += "人";
  EXPECT_EQ(tarnwell::StoredPresetId(cjk).size(), 240u);
  // Shifted by one byte the cut would split a character: it backs off to 238.
  const std::string shifted = std::string(1, 'a').append(cjk);
  EXPECT_EQ(tarnwell::StoredPresetId(shifted), shifted.substr(0, 238));
}

TEST_F(StateChunk, LongAndEmptyIdsRoundTripAsStored) {
  EXPECT_EQ(fresh->LoadState(Saved(std::string(300, 'y')), 0), 1288 + 300);
  EXPECT_EQ(fresh->CurrentPresetId(), std::string(240, 'y'));
  EXPECT_EQ(fresh->LoadState(Saved(""), 0), 1288);
  EXPECT_EQ(fresh->CurrentPresetId(), "");
}

// The host's bypass flag follows the chunk. Where the marker stands but the id behind it
// cannot be read, nothing tells where the chunk ends: the flag is not guessed from those
// bytes, and the bypass stays as it was.
TEST_F(StateChunk, ADamagedIdLeavesTheHostsBypassAsItWas) {
  using Steinberg::kResultOk;
  tarnwell::host::HostApplication host("Test Host");
  ASSERT_EQ(fresh->initialize(&host), kResultOk);
  const StateBlob saved = Saved("user:x.json");
  auto word = [](int32_t v) { return std::string(reinterpret_cast<const char*>(&v), 4); };
  auto streamOf = [](const StateBlob& blob, int32_t bypass) {
    std::vector<uint8_t> bytes(blob.Data(), blob.Data() + blob.Size());
    const auto* flag = reinterpret_cast<const uint8_t*>(&bypass);
    bytes.insert(bytes.end(), flag, flag + sizeof bypass);
    return tarnwell::host::MemoryStream(std::move(bytes));
  };
  const std::string tails[] = {
      "PBCT",
      "PBCT" + word(0) + word(1) + "a",
      "PBCT" + word(2) + word(-4) + "abcd",
      "PBCT" + word(2) + word(0x7FFFFFF0) + "abc",
  };
  for (const int32_t before : {0, 1}) {
    for (const std::string& tail : tails) {
      auto whole = streamOf(saved, before);
      ASSERT_EQ(fresh->setState(&whole), kResultOk);
      ASSERT_EQ(fresh->getParamNormalized(plugkit::kBypassParamId), before);
      fresh->GetParam(tarnwell::kInputParam)->SetValue(0.0);

      // A damaged chunk is followed by a flag that contradicts the bypass before it.
      auto damaged = streamOf(ParamsThen(saved, tail.data(), static_cast<int32_t>(tail.size())), 1 - before);
      EXPECT_EQ(fresh->setState(&damaged), kResultOk) << tail.size();
      EXPECT_EQ(fresh->getParamNormalized(plugkit::kBypassParamId), before) << tail.size();
      EXPECT_EQ(fresh->BypassForState(), before != 0) << tail.size();
      EXPECT_EQ(fresh->CurrentPresetId(), "factory:empty");
      EXPECT_DOUBLE_EQ(fresh->ParamValue(tarnwell::kInputParam), 4.5) << "the parameters read are kept";
    }
  }
  fresh->terminate();
}

}  // namespace
