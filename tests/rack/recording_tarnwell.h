// Tarnwell in the test's process, with a fake tempo block, recording what it sends to the
// page instead of running scripts in a browser.
#pragma once

#include <gtest/gtest.h>

#include <cstdint>
#include <cstring>
#include <string>
#include <vector>

#include "fake_tempo_source.h"
#include "rack/tarnwell.h"

namespace test {

struct PageMessage {
  int32_t msgTag;
  std::vector<uint8_t> bytes;

  std::string Text() const { return std::string(bytes.begin(), bytes.end()); }
  template <typename T>
  T As() const {
    T value{};
    EXPECT_EQ(bytes.size(), sizeof value);
    if (bytes.size() == sizeof value) std::memcpy(&value, bytes.data(), sizeof value);
    return value;
  }
};

struct PageParamValue {
  int32_t paramIdx;
  double normalised;
};

class RecordingTarnwell : public Tarnwell {
 public:
  explicit RecordingTarnwell(FakeTempoState& tempo) : Tarnwell(SourceOf(tempo)) {}

  void SendArbitraryMsgToUI(int32_t msgTag, int32_t dataSize, const void* data) override {
    const auto* bytes = static_cast<const uint8_t*>(data);
    messages.push_back({msgTag, std::vector<uint8_t>(bytes, bytes + (data != nullptr ? dataSize : 0))});
  }
  void SendParamValueToUI(int32_t paramIdx, double value, bool isNormalised) override {
    EXPECT_TRUE(isNormalised);
    paramValues.push_back({paramIdx, value});
  }

  std::vector<PageMessage> MessagesTagged(int32_t msgTag) const {
    std::vector<PageMessage> found;
    for (const PageMessage& message : messages)
      if (message.msgTag == msgTag) found.push_back(message);
    return found;
  }
  void ClearPage() {
    messages.clear();
    paramValues.clear();
  }

  std::vector<PageMessage> messages;
  std::vector<PageParamValue> paramValues;
};

// Owns one instance the way a host does: one reference, released at the end.
struct OwnedTarnwell {
  explicit OwnedTarnwell(FakeTempoState& tempo) : plugin(new RecordingTarnwell(tempo)) {}
  ~OwnedTarnwell() { plugin->release(); }
  OwnedTarnwell(const OwnedTarnwell&) = delete;
  OwnedTarnwell& operator=(const OwnedTarnwell&) = delete;
  RecordingTarnwell* operator->() const { return plugin; }
  RecordingTarnwell& operator*() const { return *plugin; }

  RecordingTarnwell* plugin;
};

}  // namespace test
