// Replies to the page wait here until the next idle tick sends them. UI thread only.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include <nlohmann/json.hpp>

namespace tarnwell {

struct UIReply {
  int32_t msgTag;
  std::string text;  // compact JSON
};

// Compact JSON, keys in ascending byte order. Text that is not valid UTF-8 (a host chunk's
// id, a parser message quoting a stray byte) is sent with replacement characters instead of
// throwing. Empty only when memory ran out.
std::string CompactJson(const nlohmann::json& value) noexcept;

class UIOutbox {
 public:
  // Appends the serialised reply; dropped when memory runs out.
  void Queue(int32_t msgTag, const nlohmann::json& reply) noexcept;
  // Everything queued, in order; the outbox is left empty.
  std::vector<UIReply> TakeAll() noexcept;
  size_t Size() const noexcept { return entries_.size(); }

 private:
  std::vector<UIReply> entries_;
};

}  // namespace tarnwell
