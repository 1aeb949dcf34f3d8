#include "host/bus_channels.h"

#include <algorithm>

namespace tarnwell::host {

using namespace Steinberg;
using namespace Steinberg::Vst;

int32 BusChannelCount(IComponent* component, BusDirection direction, int32 bus) {
  BusInfo info{};
  return component->getBusInfo(kAudio, direction, bus, info) == kResultOk ? info.channelCount : 0;
}

std::vector<int32> BusChannelCounts(IComponent* component, BusDirection direction) {
  std::vector<int32> counts;
  for (int32 b = 0; b < component->getBusCount(kAudio, direction); ++b)
    counts.push_back(BusChannelCount(component, direction, b));
  return counts;
}

int32 TotalChannelCount(IComponent* component, BusDirection direction) {
  int32 total = 0;
  for (int32 count : BusChannelCounts(component, direction)) total += std::max(count, 0);
  return total;
}

}  // namespace tarnwell::host
