#include "framework/channel_layouts.h"

#include <algorithm>
#include <cstring>

namespace plugkit {
namespace {

constexpr int32_t kMaxTokenValue = 1 << 16;

int Dir(BusDirection direction) { return direction == BusDirection::Input ? 0 : 1; }

// A leading decimal integer as atoi reads one (optional sign), limited so that totals
// stay far from overflow; 0 when the token does not start with a number.
int32_t TokenChannels(const char* begin, const char* end) {
  if (end - begin == 1 && *begin == '*') return ChannelLayouts::kWildcardChannels;
  const char* p = begin;
  bool negative = false;
  if (p < end && (*p == '+' || *p == '-')) negative = *p++ == '-';
  int32_t value = 0;
  for (; p < end && *p >= '0' && *p <= '9'; ++p) value = std::min(value * 10 + (*p - '0'), kMaxTokenValue);
  return negative ? -value : value;
}

}  // namespace

int32_t ChannelLayouts::Parse(const char* text) noexcept {
  layouts_.Resize(0);
  buses_.Resize(0);
  std::fill(std::begin(maxChannels_), std::end(maxChannels_), 0);
  std::fill(std::begin(maxBuses_), std::end(maxBuses_), 0);
  if (text == nullptr) return 0;
  const char* p = text;
  while (*p != '\0') {
    while (*p == ' ') ++p;
    const char* begin = p;
    while (*p != '\0' && *p != ' ') ++p;
    if (p > begin && !ParseLayout(begin, p)) break;
  }
  return Count();
}

bool ChannelLayouts::ParseLayout(const char* begin, const char* end) noexcept {
  const char* dash = std::find(begin, end, '-');
  Layout layout{};
  if (!ParsePart(begin, dash, 0, layout)) return false;
  if (dash < end && !ParsePart(dash + 1, end, 1, layout)) return false;
  if (!layouts_.Append(&layout, static_cast<int32_t>(sizeof(layout)))) return false;
  for (int d = 0; d < 2; ++d) {
    maxChannels_[d] = std::max(maxChannels_[d], layout.channelTotal[d]);
    maxBuses_[d] = std::max(maxBuses_[d], layout.busCount[d]);
  }
  return true;
}

bool ChannelLayouts::ParsePart(const char* begin, const char* end, int32_t direction, Layout& layout) noexcept {
  layout.firstBus[direction] = buses_.Count<int32_t>();
  int64_t total = 0;
  const char* token = begin;
  while (token < end) {
    const char* tokenEnd = std::find(token, end, '.');
    const int32_t channels = TokenChannels(token, tokenEnd);
    total += channels;
    if (channels != 0) {
      if (!buses_.Append(&channels, static_cast<int32_t>(sizeof(channels)))) return false;
      ++layout.busCount[direction];
    }
    token = tokenEnd + 1;
  }
  layout.channelTotal[direction] = static_cast<int32_t>(std::clamp<int64_t>(total, INT32_MIN, INT32_MAX));
  return true;
}

const ChannelLayouts::Layout* ChannelLayouts::LayoutAt(int32_t layout) const noexcept {
  if (layout < 0 || layout >= Count()) return nullptr;
  return layouts_.DataAs<Layout>() + layout;
}

int32_t ChannelLayouts::BusCount(int32_t layout, BusDirection direction) const noexcept {
  const Layout* entry = LayoutAt(layout);
  return entry != nullptr ? entry->busCount[Dir(direction)] : 0;
}

int32_t ChannelLayouts::BusChannels(int32_t layout, BusDirection direction, int32_t bus) const noexcept {
  const Layout* entry = LayoutAt(layout);
  const int d = Dir(direction);
  if (entry == nullptr || bus < 0 || bus >= entry->busCount[d]) return 0;
  return buses_.DataAs<int32_t>()[entry->firstBus[d] + bus];
}

int32_t ChannelLayouts::MaxChannels(BusDirection direction) const noexcept { return maxChannels_[Dir(direction)]; }

int32_t ChannelLayouts::MaxBuses(BusDirection direction, int32_t* layoutIndex) const noexcept {
  const int d = Dir(direction);
  if (layoutIndex != nullptr) {
    *layoutIndex = 0;
    for (int32_t i = 0; i < Count(); ++i)
      if (LayoutAt(i)->busCount[d] == maxBuses_[d]) *layoutIndex = i;
  }
  return maxBuses_[d];
}

int32_t ChannelLayouts::Find(std::span<const int32_t> inputChannels,
                             std::span<const int32_t> outputChannels) const noexcept {
  for (int32_t i = 0; i < Count(); ++i) {
    const auto matches = [&](BusDirection direction, std::span<const int32_t> wanted) {
      if (static_cast<size_t>(BusCount(i, direction)) != wanted.size()) return false;
      for (size_t bus = 0; bus < wanted.size(); ++bus)
        if (BusChannels(i, direction, static_cast<int32_t>(bus)) != wanted[bus]) return false;
      return true;
    };
    if (matches(BusDirection::Input, inputChannels) && matches(BusDirection::Output, outputChannels)) return i;
  }
  return -1;
}

int32_t ChannelLayouts::MaxChannelsForBus(BusDirection direction, int32_t bus) const noexcept {
  for (int32_t k = 0; k < BusCount(0, direction); ++k)
    if (BusChannels(0, direction, k) < 0) return -1;
  if (bus < 0 || bus >= MaxBuses(direction)) return 0;
  int32_t largest = 0;
  for (int32_t i = 0; i < Count(); ++i) largest = std::max(largest, BusChannels(i, direction, bus));
  return largest;
}

}  // namespace plugkit
