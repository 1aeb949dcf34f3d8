// The parameters a controller describes, as a host lists them.
#pragma once

#include <vector>

#include "pluginterfaces/vst/ivsteditcontroller.h"

namespace tarnwell::host {

// In index order, leaving out any index the controller does not answer for; none for no controller.
std::vector<Steinberg::Vst::ParameterInfo> ParameterInfos(Steinberg::Vst::IEditController* controller);

}  // namespace tarnwell::host
