#include "platform/shared_memory.h"

#include <utility>

namespace plugkit::platform {

SharedMemory::SharedMemory(SharedMemory&& other) noexcept
    : view_(std::exchange(other.view_, nullptr)),
      handle_(std::exchange(other.handle_, nullptr)),
      size_(std::exchange(other.size_, 0)) {}

SharedMemory& SharedMemory::operator=(SharedMemory&& other) noexcept {
  if (this != &other) {
    Close();
    view_ = std::exchange(other.view_, nullptr);
    handle_ = std::exchange(other.handle_, nullptr);
    size_ = std::exchange(other.size_, 0);
  }
  return *this;
}

bool SharedMemory::CreateOrOpen(const char* name, std::size_t size) noexcept { return Open(name, size, true); }

bool SharedMemory::OpenReadOnly(const char* name, std::size_t size) noexcept { return Open(name, size, false); }

bool IsUsableSharedMemoryName(const char* name) noexcept {
  if (name == nullptr) return false;
  std::size_t length = 0;
  for (const char* c = name; *c != '\0'; ++c, ++length) {
    if (length >= kMaxSharedMemoryName) return false;
    const char ch = *c;
    const bool ok = (ch >= 'a' && ch <= 'z') || (ch >= 'A' && ch <= 'Z') || (ch >= '0' && ch <= '9') || ch == '_' ||
                    ch == '-' || ch == '.';
    if (!ok) return false;
  }
  return length > 0;
}

}  // namespace plugkit::platform
