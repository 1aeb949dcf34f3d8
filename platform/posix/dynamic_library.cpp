#include "platform/dynamic_library.h"

#include <dlfcn.h>

namespace plugkit::platform {

DynamicLibrary::~DynamicLibrary() { Close(); }

bool DynamicLibrary::Open(const std::string& utf8Path, std::string* error) {
  Close();
  handle_ = dlopen(utf8Path.c_str(), RTLD_NOW | RTLD_LOCAL);
  if (handle_ == nullptr && error != nullptr) {
    const char* text = dlerror();
    *error = text ? text : "the module could not be loaded";
  }
  return handle_ != nullptr;
}

void* DynamicLibrary::Symbol(const char* name) const { return handle_ ? dlsym(handle_, name) : nullptr; }

void DynamicLibrary::Close() {
  if (handle_ != nullptr) dlclose(handle_);
  handle_ = nullptr;
}

}  // namespace plugkit::platform
