// Which loaded module an address belongs to.
#pragma once

namespace plugkit::platform {

// The handle of the module that contains address, without taking a reference on it; null
// when none is found.
void* ModuleContainingAddress(const void* address) noexcept;

}  // namespace plugkit::platform
