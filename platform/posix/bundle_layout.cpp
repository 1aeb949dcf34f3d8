#include "platform/bundle_layout.h"

namespace plugkit::platform {
const char* const kBundleArchitectureFolder = "x86_64-linux";
const char* const kModuleFileSuffix = ".so";
const char kPathSeparator = '/';
}  // namespace plugkit::platform
