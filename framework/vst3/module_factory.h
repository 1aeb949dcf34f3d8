// Factory information and instance creation shared by every module.
#pragma once

#include <cstdint>

#include "pluginterfaces/base/ipluginbase.h"

namespace plugkit {

inline constexpr const char* kClassCategory = "Audio Module Class";
inline constexpr const char* kClassSubCategories = "Fx";
inline constexpr const char* kClassSdkVersion = "VST 3.8.1";
inline constexpr uint32_t kClassIdWord1 = 0xF2AEE70D;
inline constexpr uint32_t kClassIdWord2 = 0x00DE4F4E;

// The create function the factory calls; builds the plug-in under the creation lock.
Steinberg::FUnknown* CreateInstance(void* context);

// Module hooks called by the entry points on the first load and the last unload.
bool OnModuleLoaded();
bool OnModuleUnloaded();

// The module handle as known to the module code (set by OnModuleLoaded).
void* ModuleHandle();

}  // namespace plugkit
