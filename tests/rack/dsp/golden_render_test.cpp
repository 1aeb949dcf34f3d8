// The speed-tuned blocks against fingerprints of renders made before they were tuned: every sample
// within 1e-7 of full scale, and the dry paths bit-exact.
#include <gtest/gtest.h>

#include <cctype>
#include <fstream>
#include <iterator>
#include <map>
#include <string>
#include <vector>

#include "golden_renders.h"
#include "render_fingerprint.h"

namespace {

const std::map<std::string, RenderFingerprint>& Goldens() {
  static const std::map<std::string, RenderFingerprint> goldens = [] {
    std::vector<NamedFingerprint> entries;
    std::map<std::string, RenderFingerprint> byName;
    if (ReadFingerprints(GoldenFingerprintPath(), entries)) {
      for (NamedFingerprint& entry : entries) {
        byName.emplace(entry.name, std::move(entry.fingerprint));
      }
    }
    return byName;
  }();
  return goldens;
}

class GoldenRender : public testing::TestWithParam<GoldenCase> {};

TEST_P(GoldenRender, StaysWithinItsGoldenRender) {
  const GoldenCase& golden = GetParam();
  const auto found = Goldens().find(golden.Name());
  ASSERT_NE(found, Goldens().end()) << "no golden render for " << golden.Name() << " in " << GoldenFingerprintPath();
  const StereoSignal render = RenderGoldenCase(golden);
  if (golden.exact) {
    EXPECT_EQ(ExactHash(render), found->second.exactHash) << "a dry path is no longer bit-exact";
  }
  for (std::int32_t frame : ChunksOutsideFingerprint(found->second, render)) {
    ADD_FAILURE() << "samples of frames " << frame << ".." << frame + kFingerprintChunkFrames - 1
                  << " moved by 1e-7 or more";
  }
}

std::string CaseName(const testing::TestParamInfo<GoldenCase>& info) {
  std::string name = info.param.Name();
  for (char& c : name) {
    c = std::isalnum(static_cast<unsigned char>(c)) ? c : '_';
  }
  return name;
}

INSTANTIATE_TEST_SUITE_P(SpeedTunedBlocks, GoldenRender, testing::ValuesIn(GoldenCases()), CaseName);

TEST(GoldenRender, EveryCaseHasItsOwnGolden) {
  ASSERT_FALSE(Goldens().empty()) << "cannot read " << GoldenFingerprintPath();
  EXPECT_EQ(Goldens().size(), GoldenCases().size());
}

TEST(RenderFingerprint, TellsAMoveOfOneStepFromAMoveWithinTheMargin) {
  StereoSignal render = GoldenSignal();
  const RenderFingerprint golden = TakeFingerprint(render);
  ASSERT_TRUE(ChunksOutsideFingerprint(golden, render).empty());

  // Moves below the margin keep every cell; one sample a full step away leaves its chunk only.
  struct Move {
    double by;
    bool everySample;
    std::size_t frame;
    bool right;
    std::vector<std::int32_t> outside;
  };
  const std::vector<Move> moves = {
      {0.9 * kFingerprintMargin * kFingerprintStep, true, 0, false, {}},
      {-0.9 * kFingerprintMargin * kFingerprintStep, true, 0, false, {}},
      {1.0001 * kFingerprintStep, false, 1700, true, {1536}},
      {-1.0001 * kFingerprintStep, false, 4095, false, {3584}},
      {0.5, false, 10, false, {0}},
  };
  for (const Move& move : moves) {
    StereoSignal moved = render;
    if (move.everySample) {
      for (double& sample : moved.left) {
        sample += move.by;
      }
      for (double& sample : moved.right) {
        sample += move.by;
      }
    } else {
      (move.right ? moved.right : moved.left)[move.frame] += move.by;
    }
    EXPECT_EQ(ChunksOutsideFingerprint(golden, moved), move.outside) << "move by " << move.by;
  }
  StereoSignal shorter = render;
  shorter.left.pop_back();
  shorter.right.pop_back();
  EXPECT_EQ(ChunksOutsideFingerprint(golden, shorter), std::vector<std::int32_t>{0});
}

TEST(RenderFingerprint, SurvivesTheFileAndRefusesACorruptOne) {
  const StereoSignal render = GoldenSignal();
  const std::vector<NamedFingerprint> written = {{"a", TakeFingerprint(render)}, {"b", TakeFingerprint({{}, {}})}};
  const std::string path = testing::TempDir() + "fingerprints.bin";
  ASSERT_TRUE(WriteFingerprints(path, written));
  std::vector<NamedFingerprint> read;
  ASSERT_TRUE(ReadFingerprints(path, read));
  ASSERT_EQ(read.size(), 2u);
  EXPECT_EQ(read[0].name, "a");
  EXPECT_EQ(read[0].fingerprint.shifted, written[0].fingerprint.shifted);
  EXPECT_EQ(read[0].fingerprint.exactHash, written[0].fingerprint.exactHash);
  EXPECT_TRUE(ChunksOutsideFingerprint(read[0].fingerprint, render).empty());

  std::ifstream in(path, std::ios::binary);
  const std::string bytes((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
  in.close();
  for (const std::size_t keep : {std::size_t{0}, std::size_t{3}, bytes.size() / 2, bytes.size() - 1}) {
    std::ofstream(path, std::ios::binary | std::ios::trunc).write(bytes.data(), static_cast<std::streamsize>(keep));
    EXPECT_FALSE(ReadFingerprints(path, read)) << "a file cut to " << keep << " bytes was read";
  }
  std::ofstream(path, std::ios::binary | std::ios::trunc) << bytes << "x";
  EXPECT_FALSE(ReadFingerprints(path, read)) << "trailing bytes were ignored";
  EXPECT_FALSE(ReadFingerprints(path + ".missing", read));
}

}  // namespace
