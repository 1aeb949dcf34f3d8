// Linux hosts enter and leave a module through ModuleEntry/ModuleExit.
#include "vst3/moduleentry.h"

#include "platform/module_handle.h"
#include "platform/ui_loop.h"

extern "C" {

SMTG_EXPORT_SYMBOL bool ModuleEntry(void* sharedLibraryHandle) {
  plugkit::platform::RecordModuleHandle(sharedLibraryHandle);
  return InitDll();
}

SMTG_EXPORT_SYMBOL bool ModuleExit() { return ExitDll(); }

// The module's UI timers live in its own copy of the timer stand-in, which no loop of the
// host's reaches. A host that offers its run loop runs them from there; for one that offers
// none, a host of ours delivers them by calling this on its UI thread.
SMTG_EXPORT_SYMBOL void ModulePumpUiLoop() { plugkit::platform::PumpUiLoop(); }

}  // extern "C"
