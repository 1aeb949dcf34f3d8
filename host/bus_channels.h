// Channel counts of a component's audio buses as it describes them.
#pragma once

#include <vector>

#include "pluginterfaces/vst/ivstcomponent.h"

namespace tarnwell::host {

// 0 for a bus the component does not describe.
Steinberg::int32 BusChannelCount(Steinberg::Vst::IComponent* component, Steinberg::Vst::BusDirection direction,
                                 Steinberg::int32 bus);
// One count for each bus, in order.
std::vector<Steinberg::int32> BusChannelCounts(Steinberg::Vst::IComponent* component,
                                               Steinberg::Vst::BusDirection direction);
// The channels of every bus together; a negative count counts as none.
Steinberg::int32 TotalChannelCount(Steinberg::Vst::IComponent* component, Steinberg::Vst::BusDirection direction);

}  // namespace tarnwell::host
