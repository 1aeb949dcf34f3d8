#include "platform/recursive_lock.h"

#include <windows.h>

#include <new>

namespace plugkit::platform {
namespace {
CRITICAL_SECTION* Native(unsigned char* storage) { return std::launder(reinterpret_cast<CRITICAL_SECTION*>(storage)); }
}  // namespace

static_assert(sizeof(CRITICAL_SECTION) <= 64, "lock storage too small");

RecursiveLock::RecursiveLock() { InitializeCriticalSection(new (storage_) CRITICAL_SECTION); }

RecursiveLock::~RecursiveLock() { DeleteCriticalSection(Native(storage_)); }

void RecursiveLock::Enter() { EnterCriticalSection(Native(storage_)); }

void RecursiveLock::Leave() { LeaveCriticalSection(Native(storage_)); }

}  // namespace plugkit::platform
