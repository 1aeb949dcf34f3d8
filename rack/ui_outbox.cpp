#include "rack/ui_outbox.h"

#include <utility>

namespace tarnwell {

std::string CompactJson(const nlohmann::json& value) noexcept {
  try {
    return value.dump(-1, ' ', false, nlohmann::json::error_handler_t::replace);
  } catch (...) {
    return {};
  }
}

void UIOutbox::Queue(int32_t msgTag, const nlohmann::json& reply) noexcept {
  std::string text = CompactJson(reply);
  if (text.empty()) return;
  try {
    entries_.push_back({msgTag, std::move(text)});
  } catch (...) {
  }
}

std::vector<UIReply> UIOutbox::TakeAll() noexcept { return std::exchange(entries_, {}); }

}  // namespace tarnwell
