#include "platform/allocation_hook.h"

namespace plugkit::platform {

// The C runtime offers no process-wide hook; a module's own heap calls are redirected
// through its import table instead (import_hook.h).
bool InstallAllocationHook(void (*)()) { return false; }

}  // namespace plugkit::platform
