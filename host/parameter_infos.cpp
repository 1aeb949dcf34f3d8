#include "host/parameter_infos.h"

namespace tarnwell::host {

using namespace Steinberg;
using namespace Steinberg::Vst;

std::vector<ParameterInfo> ParameterInfos(IEditController* controller) {
  std::vector<ParameterInfo> infos;
  for (int32 i = 0; controller != nullptr && i < controller->getParameterCount(); ++i) {
    ParameterInfo info{};
    if (controller->getParameterInfo(i, info) == kResultOk) infos.push_back(info);
  }
  return infos;
}

}  // namespace tarnwell::host
