#include "framework/creation_lock.h"

namespace plugkit {

platform::RecursiveLock& CreationLock() {
  // Made on first use (thread-safe local static) and destroyed at process exit.
  static platform::RecursiveLock lock;
  return lock;
}

}  // namespace plugkit
