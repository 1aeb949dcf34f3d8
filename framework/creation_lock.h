#pragma once

#include "platform/recursive_lock.h"

namespace plugkit {

// Serialises construction of plug-in objects within one module.
platform::RecursiveLock& CreationLock();

}  // namespace plugkit
