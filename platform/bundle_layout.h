// How a VST 3 bundle is laid out on this platform.
#pragma once

namespace plugkit::platform {

// The folder under <Name>.vst3/Contents that holds the module binary.
extern const char* const kBundleArchitectureFolder;
// The binary's file name ending (the module is <Name><suffix>).
extern const char* const kModuleFileSuffix;
// The separator between folder names in a native path.
extern const char kPathSeparator;

}  // namespace plugkit::platform
