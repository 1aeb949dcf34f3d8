#include "framework/host_id.h"

#include <gtest/gtest.h>

#include <string>

namespace plugkit {
namespace {

struct HostCase {
  const char* name;
  HostId expected;
};

TEST(IdentifyHost, FirstMatchingEntryInTableOrder) {
  const HostCase cases[] = {
      {"REAPER", 1},
      {"Reaper64 v7", 1},
      {"WaveLab Elements 12", 32},  // tested before the shorter name it contains
      {"WaveLab Pro", 31},
      {"Bitwig Studio Live Edition", 9},  // "live" comes first in the table
      {"Bitwig Studio", 34},
      {"Mixbus32C", 45},
      {"Ardour", 28},
      {"My Standalone www", 24},  // both generic words: the earlier entry wins
      {"http://www.example", 35},
      {"AudioMulch", 25},
      {"", kHostUnknown},
      {"Tarnwell Host", kHostUnknown},
  };
  for (const HostCase& c : cases) EXPECT_EQ(IdentifyHost(c.name), c.expected) << c.name;
  EXPECT_EQ(IdentifyHost(nullptr), kHostUnknown);
}

TEST(IdentifyHost, ComparesOnlyTheFirst255Characters) {
  std::string name(250, 'x');
  EXPECT_EQ(IdentifyHost((name + "reaper").c_str()), kHostUnknown);  // "reaper" straddles the cut
  EXPECT_EQ(IdentifyHost((name + "live!").c_str()), 9);              // ends at character 254
}

TEST(IdentifyHost, LowersOnlyAsciiLetters) {
  // UTF-8 bytes above 0x7F are left alone, so they never turn into table letters.
  EXPECT_EQ(IdentifyHost("\xC3\x84reaper"), 1);
  EXPECT_EQ(IdentifyHost("R\xC3\x89"
                         "APER"),
            kHostUnknown);
}

}  // namespace
}  // namespace plugkit
