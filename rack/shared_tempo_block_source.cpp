#include <string>

#include "platform/performance_clock.h"
#include "platform/shared_memory.h"
#include "rack/tempo_block_source.h"

namespace tarnwell {

namespace {

class SharedTempoBlockSource final : public TempoBlockSource {
 public:
  explicit SharedTempoBlockSource(const char* name) : name_(name != nullptr ? name : "") {}

  const unsigned char* Open() override {
    if (!memory_.OpenReadOnly(name_.c_str(), kTempoBlockSize)) return nullptr;
    return static_cast<const unsigned char*>(memory_.Data());
  }
  void Close(const unsigned char*) override { memory_.Close(); }
  int64_t NowMs() const noexcept override { return plugkit::platform::PerformanceClockNowMs(); }

 private:
  std::string name_;
  plugkit::platform::SharedMemory memory_;
};

}  // namespace

std::unique_ptr<TempoBlockSource> MakeSharedTempoBlockSource(const char* name) {
  return std::make_unique<SharedTempoBlockSource>(name);
}

}  // namespace tarnwell
