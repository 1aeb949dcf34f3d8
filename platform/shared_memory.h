// A named shared-memory region of a fixed size that every process of the user's session can
// map by its name. Closing never removes the name: other processes may still hold it.
#pragma once

#include <cstddef>

namespace plugkit::platform {

class SharedMemory {
 public:
  SharedMemory() = default;
  ~SharedMemory() { Close(); }
  SharedMemory(SharedMemory&& other) noexcept;
  SharedMemory& operator=(SharedMemory&& other) noexcept;
  SharedMemory(const SharedMemory&) = delete;
  SharedMemory& operator=(const SharedMemory&) = delete;

  // Creates the region, or opens the one that already has this name, and maps `size` bytes
  // read-write. A new region reads as zeros. False (nothing held) on any failure, also when
  // an existing region is smaller than `size` or the name is unusable.
  bool CreateOrOpen(const char* name, std::size_t size) noexcept;
  // Maps `size` bytes of an existing region read-only. False when there is none by that
  // name or it is smaller than `size`.
  bool OpenReadOnly(const char* name, std::size_t size) noexcept;
  // Unmaps the view and releases the handle; the region stays while others hold it.
  void Close() noexcept;

  bool IsOpen() const noexcept { return view_ != nullptr; }
  void* Data() const noexcept { return view_; }
  std::size_t Size() const noexcept { return size_; }

 private:
  // Per platform: creates or opens read-write, or opens read-only.
  bool Open(const char* name, std::size_t size, bool writable) noexcept;

  void* view_ = nullptr;
  void* handle_ = nullptr;  // the mapping handle where the platform keeps one
  std::size_t size_ = 0;
};

// Removes a region's name so that the next creator starts from zeros. Where names vanish
// with their last handle this does nothing. For tests, which clean up their own names.
void RemoveSharedMemoryName(const char* name) noexcept;

// A usable name is 1..kMaxSharedMemoryName characters of letters, digits, '_', '-' and '.'.
inline constexpr std::size_t kMaxSharedMemoryName = 64;
bool IsUsableSharedMemoryName(const char* name) noexcept;

}  // namespace plugkit::platform
