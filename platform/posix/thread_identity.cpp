#include "platform/thread_identity.h"

#include <pthread.h>

namespace plugkit::platform {

uint64_t CurrentThreadId() noexcept { return static_cast<uint64_t>(pthread_self()); }

}  // namespace plugkit::platform
