#include "platform/recursive_lock.h"

#include <pthread.h>

#include <new>

namespace plugkit::platform {
namespace {
pthread_mutex_t* Native(unsigned char* storage) { return std::launder(reinterpret_cast<pthread_mutex_t*>(storage)); }
}  // namespace

static_assert(sizeof(pthread_mutex_t) <= 64, "lock storage too small");

RecursiveLock::RecursiveLock() {
  pthread_mutexattr_t attributes;
  pthread_mutexattr_init(&attributes);
  pthread_mutexattr_settype(&attributes, PTHREAD_MUTEX_RECURSIVE);
  pthread_mutex_init(new (storage_) pthread_mutex_t, &attributes);
  pthread_mutexattr_destroy(&attributes);
}

RecursiveLock::~RecursiveLock() { pthread_mutex_destroy(Native(storage_)); }

void RecursiveLock::Enter() { pthread_mutex_lock(Native(storage_)); }

void RecursiveLock::Leave() { pthread_mutex_unlock(Native(storage_)); }

}  // namespace plugkit::platform
