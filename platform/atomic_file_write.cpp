#include "platform/atomic_file_write.h"

#include <atomic>

namespace plugkit::platform {
namespace {

std::atomic<AtomicWriteStepHook> stepHook{nullptr};
std::atomic<void*> stepHookContext{nullptr};

}  // namespace

std::string AtomicWriteTempPath(const std::string& utf8Path) { return utf8Path + ".tmp"; }

void SetAtomicWriteStepHookForTesting(AtomicWriteStepHook hook, void* context) noexcept {
  stepHookContext.store(context);
  stepHook.store(hook);
}

namespace internal {

bool AtomicWriteMayGoOn(AtomicWriteStep step) noexcept {
  const AtomicWriteStepHook hook = stepHook.load();
  return hook == nullptr || hook(step, stepHookContext.load());
}

}  // namespace internal
}  // namespace plugkit::platform
