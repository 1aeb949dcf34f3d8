// Linux hosts enter and leave a module through ModuleEntry/ModuleExit.
#include "vst3/moduleentry.h"

#include "platform/module_handle.h"

extern "C" {

SMTG_EXPORT_SYMBOL bool ModuleEntry (void* sharedLibraryHandle)
{
	plugkit::platform::RecordModuleHandle (sharedLibraryHandle);
	return InitDll ();
}

SMTG_EXPORT_SYMBOL bool ModuleExit ()
{
	return ExitDll ();
}

} // extern "C"
