// Where a loaded module lives on disk.
#pragma once

#include <string>

namespace plugkit::platform {

// The full UTF-8 path of the file the module was loaded from, however long; "" when the
// platform cannot tell. A null handle names the program's own file. Never throws.
std::string ModuleFilePath(void* moduleHandle) noexcept;

}  // namespace plugkit::platform
