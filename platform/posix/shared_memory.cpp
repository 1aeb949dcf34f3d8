#include "platform/shared_memory.h"

#include <fcntl.h>
#include <sys/mman.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>

namespace plugkit::platform {
namespace {

// Windows keeps such names per logon session. The stand-in approximates that by the user id,
// and by TARNWELL_SHM_NAMESPACE when set, so that separate test runs on one machine do not
// meet. Built into a fixed buffer: a reader may map from an audio thread.
bool PosixName(const char* name, char (&out)[160]) noexcept {
  if (!IsUsableSharedMemoryName(name)) return false;
  const char* space = std::getenv("TARNWELL_SHM_NAMESPACE");
  const bool spaced = space != nullptr && IsUsableSharedMemoryName(space);
  const int n = spaced ? std::snprintf(out, sizeof out, "/%s.%u.%s", name, static_cast<unsigned>(getuid()), space)
                       : std::snprintf(out, sizeof out, "/%s.%u", name, static_cast<unsigned>(getuid()));
  return n > 0 && static_cast<std::size_t>(n) < sizeof out;
}

// Mapping past the end of a shm object raises SIGBUS on access, so its size is checked first.
bool SizeAtLeast(int fd, std::size_t size, bool grow) noexcept {
  struct stat st {};
  if (fstat(fd, &st) != 0) return false;
  if (static_cast<std::size_t>(st.st_size) >= size) return true;
  // Never shrink: another process may have mapped more of it.
  return grow && ftruncate(fd, static_cast<off_t>(size)) == 0;
}

// Maps `size` bytes of an open shm object and closes it (a mapping needs no descriptor).
void* MapObject(int fd, std::size_t size, bool writable) noexcept {
  if (fd < 0) return nullptr;
  void* view = MAP_FAILED;
  if (SizeAtLeast(fd, size, writable))
    view = mmap(nullptr, size, writable ? PROT_READ | PROT_WRITE : PROT_READ, MAP_SHARED, fd, 0);
  close(fd);
  return view == MAP_FAILED ? nullptr : view;
}

}  // namespace

bool SharedMemory::Open(const char* name, std::size_t size, bool writable) noexcept {
  Close();
  char path[160];
  if (size == 0 || !PosixName(name, path)) return false;
  const int fd = writable ? shm_open(path, O_CREAT | O_RDWR, 0600) : shm_open(path, O_RDONLY, 0);
  view_ = MapObject(fd, size, writable);
  if (view_ == nullptr) return false;
  size_ = size;
  return true;
}

void SharedMemory::Close() noexcept {
  if (view_ != nullptr) munmap(view_, size_);
  view_ = nullptr;
  handle_ = nullptr;
  size_ = 0;
}

void RemoveSharedMemoryName(const char* name) noexcept {
  char path[160];
  if (PosixName(name, path)) shm_unlink(path);
}

}  // namespace plugkit::platform
