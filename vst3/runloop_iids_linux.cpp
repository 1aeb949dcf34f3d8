// The SDK subset declares the Linux run-loop interface IDs but defines them in none of its
// sources.
#include "pluginterfaces/gui/iplugview.h"

namespace Steinberg {
namespace Linux {
DEF_CLASS_IID(IEventHandler)
DEF_CLASS_IID(ITimerHandler)
DEF_CLASS_IID(IRunLoop)
}  // namespace Linux
}  // namespace Steinberg
