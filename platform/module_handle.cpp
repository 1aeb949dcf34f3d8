#include "platform/module_handle.h"

#include <atomic>

namespace plugkit::platform {
namespace {
std::atomic<void*> recordedHandle{nullptr};
}

void RecordModuleHandle(void* handle) { recordedHandle.store(handle); }

void* RecordedModuleHandle() { return recordedHandle.load(); }

}  // namespace plugkit::platform
