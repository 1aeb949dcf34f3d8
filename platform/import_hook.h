// Redirects a function a loaded module imports from a DLL (its import address table).
// Used by the test host to watch a module that carries its own C++ runtime.
#pragma once

namespace plugkit::platform {

// Points the module's import of dllName!function at replacement and returns the previous
// target in *original. False when the module does not import it (or on platforms
// without import tables, where modules share the host's allocator anyway).
bool HookModuleImport(void* module, const char* dllName, const char* function, void* replacement, void** original);

}  // namespace plugkit::platform
