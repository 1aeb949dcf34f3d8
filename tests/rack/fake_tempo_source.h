// A tempo block of the test's own in place of the shared mapping, with a clock the test
// sets and counts of what the plug-in opened and closed.
#pragma once

#include <cstdint>
#include <cstring>
#include <memory>

#include "rack/tempo_block_source.h"

namespace test {

struct FakeTempoState {
  alignas(8) unsigned char block[40] = {};
  bool available = false;
  int opens = 0;
  int openAttempts = 0;
  int closes = 0;
  int64_t nowMs = 100000;

  // A consistent record (even sequence) as the writer leaves it.
  void Write(float bpm, float confidence, int64_t stampMs, uint32_t sequence = 2, uint32_t magic = 0x54544D50) {
    std::memcpy(block + 0, &sequence, 4);
    std::memcpy(block + 4, &magic, 4);
    const uint32_t version = 1;
    std::memcpy(block + 8, &version, 4);
    std::memcpy(block + 12, &bpm, 4);
    std::memcpy(block + 16, &confidence, 4);
    std::memcpy(block + 24, &stampMs, 8);
  }
};

class FakeTempoSource final : public tarnwell::TempoBlockSource {
 public:
  explicit FakeTempoSource(FakeTempoState& state) : state_(state) {}
  const unsigned char* Open() override {
    ++state_.openAttempts;
    if (!state_.available) return nullptr;
    ++state_.opens;
    return state_.block;
  }
  void Close(const unsigned char* view) override {
    EXPECT_EQ(view, state_.block);
    ++state_.closes;
  }
  int64_t NowMs() const noexcept override { return state_.nowMs; }

 private:
  FakeTempoState& state_;
};

inline std::unique_ptr<tarnwell::TempoBlockSource> SourceOf(FakeTempoState& state) {
  return std::make_unique<FakeTempoSource>(state);
}

}  // namespace test
