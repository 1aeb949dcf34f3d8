#include "framework/channel_layouts.h"

#include <gtest/gtest.h>

#include <vector>

namespace plugkit {
namespace {

constexpr auto In = BusDirection::Input;
constexpr auto Out = BusDirection::Output;

struct ParseCase {
  const char* text;
  int32_t layouts;
  int32_t maxInChannels, maxOutChannels, maxInBuses, maxOutBuses;
};

TEST(ChannelLayouts, ParsesLayoutsAndTheirMaxima) {
  const ParseCase cases[] = {
      {"2-2", 1, 2, 2, 1, 1},
      {"2.2-2", 1, 4, 2, 2, 1},
      {"*-*", 1, 0, 0, 1, 1},             // a wildcard counts -64 channels but one bus
      {"1-1  2.2-2 2-2", 3, 4, 2, 2, 1},  // runs of spaces separate once; repeats are kept
      {"2.0-2", 1, 2, 2, 1, 1},           // a 0 bus adds no bus
      {"x.2-2", 1, 2, 2, 1, 1},           // not a number: 0
      {"2", 1, 2, 0, 1, 0},               // no "-": no outputs
      {"-2", 1, 0, 2, 0, 1},
      {"", 0, 0, 0, 0, 0},
      {"99999999999-2", 1, 65536, 2, 1, 1},  // an absurd count is limited, not overflowed
  };
  for (const ParseCase& c : cases) {
    ChannelLayouts layouts;
    EXPECT_EQ(layouts.Parse(c.text), c.layouts) << c.text;
    EXPECT_EQ(layouts.MaxChannels(In), c.maxInChannels) << c.text;
    EXPECT_EQ(layouts.MaxChannels(Out), c.maxOutChannels) << c.text;
    EXPECT_EQ(layouts.MaxBuses(In), c.maxInBuses) << c.text;
    EXPECT_EQ(layouts.MaxBuses(Out), c.maxOutBuses) << c.text;
  }
  ChannelLayouts none;
  EXPECT_EQ(none.Parse(nullptr), 0);
}

TEST(ChannelLayouts, BusesOfEachLayout) {
  ChannelLayouts layouts;
  ASSERT_EQ(layouts.Parse("2-2 2.1-2"), 2);
  EXPECT_EQ(layouts.BusCount(1, In), 2);
  EXPECT_EQ(layouts.BusChannels(1, In, 0), 2);
  EXPECT_EQ(layouts.BusChannels(1, In, 1), 1);
  EXPECT_EQ(layouts.BusChannels(1, In, 2), 0);
  EXPECT_EQ(layouts.BusChannels(5, In, 0), 0);
  EXPECT_EQ(layouts.BusCount(-1, Out), 0);
}

TEST(ChannelLayouts, FindsTheFirstExactLayout) {
  ChannelLayouts layouts;
  layouts.Parse("2-2 2.2-2 2.2-2");
  const std::vector<int32_t> stereo{2}, mainAndSide{2, 2}, mono{1};
  EXPECT_EQ(layouts.Find(stereo, stereo), 0);
  EXPECT_EQ(layouts.Find(mainAndSide, stereo), 1);
  EXPECT_EQ(layouts.Find(mono, mono), -1);
  EXPECT_EQ(layouts.Find(stereo, {}), -1);
}

TEST(ChannelLayouts, MostBusesAndTheLastLayoutWithThatMany) {
  ChannelLayouts layouts;
  layouts.Parse("2.2-2 1-1 1.1-2");
  int32_t index = -1;
  EXPECT_EQ(layouts.MaxBuses(In, &index), 2);
  EXPECT_EQ(index, 2);
  EXPECT_EQ(layouts.MaxBuses(Out, &index), 1);
  EXPECT_EQ(index, 2);
  ChannelLayouts empty;
  EXPECT_EQ(empty.MaxBuses(In, &index), 0);
  EXPECT_EQ(index, 0);
}

TEST(ChannelLayouts, LargestChannelCountPerBusPosition) {
  ChannelLayouts layouts;
  layouts.Parse("1-1 2.1-2 1.4-1");
  EXPECT_EQ(layouts.MaxChannelsForBus(In, 0), 2);
  EXPECT_EQ(layouts.MaxChannelsForBus(In, 1), 4);
  EXPECT_EQ(layouts.MaxChannelsForBus(In, 2), 0);
  EXPECT_EQ(layouts.MaxChannelsForBus(In, -1), 0);
  EXPECT_EQ(layouts.MaxChannelsForBus(Out, 0), 2);

  ChannelLayouts wildcard;
  wildcard.Parse("*-* 2-2");
  EXPECT_EQ(wildcard.MaxChannelsForBus(In, 0), -1);
  EXPECT_EQ(wildcard.MaxChannelsForBus(Out, 0), -1);
}

}  // namespace
}  // namespace plugkit
