#include <chrono>

#include "rack/tempo_block_source.h"

namespace tarnwell {

namespace {

// Until the platform offers the named mapping, no block is found.
class SharedTempoBlockSource final : public TempoBlockSource {
 public:
  const unsigned char* Open() override { return nullptr; }
  void Close(const unsigned char*) override {}
  int64_t NowMs() const noexcept override {
    return std::chrono::duration_cast<std::chrono::milliseconds>(std::chrono::steady_clock::now().time_since_epoch())
        .count();
  }
};

}  // namespace

std::unique_ptr<TempoBlockSource> MakeSharedTempoBlockSource() { return std::make_unique<SharedTempoBlockSource>(); }

}  // namespace tarnwell
