// A process-wide callback on every C heap allocation, where the runtime offers one.
// The test host uses it to see malloc/realloc calls that bypass operator new.
#pragma once

namespace plugkit::platform {

// Installs onAllocate (called after each malloc, calloc or realloc of the process). Returns
// false where the runtime has no such hook; callers then see only operator new.
bool InstallAllocationHook(void (*onAllocate)());

}  // namespace plugkit::platform
