// A lock the owning thread may enter again (a critical section on Windows).
#pragma once

#include <cstddef>

namespace plugkit::platform {

class RecursiveLock {
 public:
  RecursiveLock();
  ~RecursiveLock();
  RecursiveLock(const RecursiveLock&) = delete;
  RecursiveLock& operator=(const RecursiveLock&) = delete;

  void Enter();
  void Leave();

 private:
  // Room for the native object, so that no platform header leaks out of platform/.
  static constexpr std::size_t kStorageSize = 64;
  alignas(16) unsigned char storage_[kStorageSize];
};

class LockGuard {
 public:
  explicit LockGuard(RecursiveLock& lock) : lock_(lock) { lock_.Enter(); }
  ~LockGuard() { lock_.Leave(); }
  LockGuard(const LockGuard&) = delete;
  LockGuard& operator=(const LockGuard&) = delete;

 private:
  RecursiveLock& lock_;
};

}  // namespace plugkit::platform
