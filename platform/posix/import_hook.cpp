#include "platform/import_hook.h"

namespace plugkit::platform {

// Shared objects bind to the executable's allocator through the dynamic linker.
bool HookModuleImport(void*, const char*, const char*, void*, void**) { return false; }

}  // namespace plugkit::platform
