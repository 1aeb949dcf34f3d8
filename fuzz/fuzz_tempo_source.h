// A tempo block that a fuzz target fills, in place of the shared mapping, with the clock the
// target sets. Without a block (the default) the plug-in follows the host's tempo.
#pragma once

#include <cstdint>
#include <memory>

#include "rack/tempo_block_source.h"

namespace tarnwell::fuzz {

struct FuzzTempoBlock {
  alignas(8) unsigned char bytes[kTempoBlockSize] = {};
  bool available = false;
  int64_t nowMs = 0;
};

class FuzzTempoSource final : public TempoBlockSource {
 public:
  explicit FuzzTempoSource(FuzzTempoBlock& block) : block_(block) {}
  const unsigned char* Open() override { return block_.available ? block_.bytes : nullptr; }
  void Close(const unsigned char*) override {}
  int64_t NowMs() const noexcept override { return block_.nowMs; }

 private:
  FuzzTempoBlock& block_;
};

inline std::unique_ptr<TempoBlockSource> SourceOf(FuzzTempoBlock& block) {
  return std::make_unique<FuzzTempoSource>(block);
}

}  // namespace tarnwell::fuzz
