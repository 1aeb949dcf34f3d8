#include "platform/module_path.h"

#include <dlfcn.h>
#include <link.h>
#include <limits.h>
#include <stdlib.h>

#include <memory>

namespace plugkit::platform {
namespace {

// realpath makes the name absolute: a module opened by a relative name still has a folder.
std::string AbsolutePath(const char* path) {
  if (path == nullptr || path[0] == '\0') return {};
  std::unique_ptr<char, decltype(&free)> resolved(realpath(path, nullptr), &free);
  if (resolved == nullptr) return {};
  return std::string(resolved.get());
}

}  // namespace

std::string ModuleFilePath(void* moduleHandle) noexcept {
  try {
    if (moduleHandle == nullptr) return AbsolutePath("/proc/self/exe");
    link_map* map = nullptr;
    if (dlinfo(moduleHandle, RTLD_DI_LINKMAP, &map) != 0 || map == nullptr) return {};
    // The program itself has an empty name in its link map.
    if (map->l_name == nullptr || map->l_name[0] == '\0') return AbsolutePath("/proc/self/exe");
    return AbsolutePath(map->l_name);
  } catch (...) {
    return {};
  }
}

}  // namespace plugkit::platform
