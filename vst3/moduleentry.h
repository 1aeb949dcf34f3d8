//-----------------------------------------------------------------------------
// Module entry points. The host calls InitDll/ExitDll (Windows) or
// ModuleEntry/ModuleExit (Linux) around its use of the module; the first load and
// the last unload reach the plug-in's InitModule/DeinitModule.
//-----------------------------------------------------------------------------
#pragma once

#include "pluginterfaces/base/fplatform.h"

/** Defined by the plug-in: called when the load counter goes from 0 to 1. */
bool InitModule();
/** Defined by the plug-in: called when the load counter returns to 0. */
bool DeinitModule();

extern "C" {
SMTG_EXPORT_SYMBOL bool InitDll();
SMTG_EXPORT_SYMBOL bool ExitDll();
}
