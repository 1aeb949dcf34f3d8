// The channel configurations a plug-in accepts, parsed from its configuration text:
// layouts separated by spaces, each "<input buses>-<output buses>", buses separated by
// ".", each bus a channel count or "*" for any count. "2.2-2" is one layout with two
// stereo input buses and one stereo output bus.
#pragma once

#include <cstdint>
#include <span>

#include "framework/core/grow_buffer.h"

namespace plugkit {

enum class BusDirection : int32_t { Input = 0, Output = 1 };

class ChannelLayouts {
 public:
  // The channel count a "*" bus stands for.
  static constexpr int32_t kWildcardChannels = -64;

  // Replaces the layouts with those of text and returns their number. A bus token that is
  // not a number counts 0 channels and adds no bus; a layout without "-" has no outputs.
  // Memory running out leaves fewer layouts.
  int32_t Parse(const char* text) noexcept;

  int32_t Count() const noexcept { return layouts_.Count<Layout>(); }
  int32_t BusCount(int32_t layout, BusDirection direction) const noexcept;
  // The bus's channel count (kWildcardChannels for "*"); 0 for a bus that does not exist.
  int32_t BusChannels(int32_t layout, BusDirection direction, int32_t bus) const noexcept;

  // The largest channel total of a direction over all layouts (never below 0).
  int32_t MaxChannels(BusDirection direction) const noexcept;
  // The largest number of buses of a direction over all layouts; *layoutIndex (when given)
  // receives the last layout with that many (0 when there are no layouts).
  int32_t MaxBuses(BusDirection direction, int32_t* layoutIndex = nullptr) const noexcept;

  // The first layout whose buses have exactly these channel counts, in order; -1 for none.
  int32_t Find(std::span<const int32_t> inputChannels, std::span<const int32_t> outputChannels) const noexcept;

  // The largest channel count of that bus position over all layouts (layouts with fewer
  // buses count 0); 0 for a position beyond every layout; -1 when the first layout has a
  // "*" bus in that direction.
  int32_t MaxChannelsForBus(BusDirection direction, int32_t bus) const noexcept;

 private:
  struct Layout {
    int32_t firstBus[2];  // index into buses_, per direction
    int32_t busCount[2];
    int32_t channelTotal[2];
  };

  bool ParseLayout(const char* begin, const char* end) noexcept;
  bool ParsePart(const char* begin, const char* end, int32_t direction, Layout& layout) noexcept;
  const Layout* LayoutAt(int32_t layout) const noexcept;

  GrowBuffer layouts_{GrowBuffer::kListGranularity};
  GrowBuffer buses_{GrowBuffer::kListGranularity};  // int32_t channel counts
  int32_t maxChannels_[2] = {0, 0};
  int32_t maxBuses_[2] = {0, 0};
};

}  // namespace plugkit
