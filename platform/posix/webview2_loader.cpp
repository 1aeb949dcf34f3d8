#include "platform/webview2_loader.h"

#include <dlfcn.h>

#include <string>

#include "platform/module_of_address.h"
#include "platform/module_path.h"

namespace plugkit::platform {
namespace {

// The stand-in for the loader DLL: a shared object of that name, as on Windows beside this
// module first and then by bare name (which also finds one the process has loaded already).
constexpr char kLoaderLibrary[] = "libWebView2Loader.so";
constexpr char kEntryName[] = "CreateCoreWebView2EnvironmentWithOptions";

void* LoadLoaderLibrary() {
  const std::string modulePath =
      ModuleFilePath(ModuleContainingAddress(reinterpret_cast<const void*>(&FindWebView2EnvironmentEntry)));
  const std::size_t slash = modulePath.find_last_of('/');
  if (slash != std::string::npos) {
    const std::string besideModule = modulePath.substr(0, slash + 1) + kLoaderLibrary;
    if (void* library = dlopen(besideModule.c_str(), RTLD_NOW | RTLD_LOCAL)) return library;
  }
  return dlopen(kLoaderLibrary, RTLD_NOW | RTLD_LOCAL);
}

}  // namespace

void* FindWebView2EnvironmentEntry() noexcept {
  // Looked up again while missing, like the Windows loader.
  static void* entry = nullptr;
  if (entry != nullptr) return entry;
  try {
    void* library = LoadLoaderLibrary();
    if (library == nullptr) return nullptr;
    entry = dlsym(library, kEntryName);
    if (entry == nullptr) dlclose(library);
  } catch (...) {
    return nullptr;
  }
  return entry;
}

}  // namespace plugkit::platform
