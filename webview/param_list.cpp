#include "webview/param_list.h"

#include <nlohmann/json.hpp>

namespace plugkit {

std::string ParamListJson(const IParam* const* params, int32_t count) noexcept {
  try {
    nlohmann::json list = nlohmann::json::array();
    for (int32_t i = 0; i < count; ++i) {
      if (params == nullptr || params[i] == nullptr) continue;
      GrowString description;
      if (!params[i]->AppendJsonDescription(description, i)) continue;
      nlohmann::json parsed = nlohmann::json::parse(description.Get(), nullptr, /*allow_exceptions=*/false);
      if (parsed.is_object()) list.push_back(std::move(parsed));
    }
    nlohmann::json message = nlohmann::json::object();
    message["id"] = "params";
    message["params"] = std::move(list);
    // Invalid UTF-8 in a name is replaced instead of throwing.
    return message.dump(-1, ' ', false, nlohmann::json::error_handler_t::replace);
  } catch (...) {
    return {};
  }
}

}  // namespace plugkit
