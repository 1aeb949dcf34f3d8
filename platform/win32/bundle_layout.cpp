#include "platform/bundle_layout.h"

namespace plugkit::platform {
const char* const kBundleArchitectureFolder = "x86_64-win";
const char* const kModuleFileSuffix = ".vst3";
const char kPathSeparator = '\\';
}  // namespace plugkit::platform
