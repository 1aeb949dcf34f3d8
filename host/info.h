// The `info` command: what a module tells a host about itself.
#pragma once

#include <ostream>

#include "host/module.h"

namespace tarnwell::host {

// Prints the factory, each class and, for audio effect classes, a created instance's
// buses, parameters and latency. Returns false when the instance could not be created.
bool PrintModuleInfo(const Module& module, std::ostream& out);

}  // namespace tarnwell::host
