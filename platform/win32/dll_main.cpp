// The Windows DLL entry: records the module handle for the module code.
#include <windows.h>

#include "platform/module_handle.h"

extern "C" BOOL WINAPI DllMain(HINSTANCE instance, DWORD reason, LPVOID /*reserved*/) {
  if (reason == DLL_PROCESS_ATTACH) plugkit::platform::RecordModuleHandle(instance);
  return TRUE;
}
