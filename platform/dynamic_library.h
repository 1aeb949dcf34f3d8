// Loading a module by path and finding its exports (the host side of a module).
#pragma once

#include <string>

namespace plugkit::platform {

class DynamicLibrary {
 public:
  DynamicLibrary() = default;
  ~DynamicLibrary();
  DynamicLibrary(const DynamicLibrary&) = delete;
  DynamicLibrary& operator=(const DynamicLibrary&) = delete;

  // Loads the file at a UTF-8 path; on failure returns false and fills *error.
  bool Open(const std::string& utf8Path, std::string* error);
  void* Symbol(const char* name) const;
  void* NativeHandle() const { return handle_; }
  void Close();

 private:
  void* handle_ = nullptr;
};

}  // namespace plugkit::platform
