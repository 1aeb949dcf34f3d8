// The handle of the module this code is linked into, as the module entry received it.
#pragma once

namespace plugkit::platform {

// Called once by the module entry (DLL attach on Windows, ModuleEntry on Linux).
void RecordModuleHandle(void* handle);

// The handle recorded by the entry, or null before it ran.
void* RecordedModuleHandle();

}  // namespace plugkit::platform
