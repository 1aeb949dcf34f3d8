#include "rack/dsp/tuning_env.h"

#include <charconv>
#include <cmath>
#include <limits>
#include <system_error>

#include "platform/environment_variable.h"

namespace tarnwell::dsp {

namespace {

// Blanks and a leading '+' are accepted as the C conversion functions accept them; from_chars does not.
std::string_view NumberStart(std::string_view text) {
  const auto first = text.find_first_not_of(" \t\n\v\f\r");
  if (first == std::string_view::npos) {
    return {};
  }
  text.remove_prefix(first);
  if (!text.empty() && text.front() == '+') {
    text.remove_prefix(1);
    if (!text.empty() && text.front() == '-') {
      return {};
    }
  }
  return text;
}

}  // namespace

std::optional<double> ParseEnvReal(std::string_view text) {
  const std::string_view number = NumberStart(text);
  double value = 0.0;
  const auto result = std::from_chars(number.data(), number.data() + number.size(), value, std::chars_format::general);
  if (result.ec == std::errc::invalid_argument) {
    return 0.0;
  }
  if (result.ec != std::errc{} || !std::isfinite(value)) {
    return std::nullopt;
  }
  return value;
}

std::int32_t ParseEnvInteger(std::string_view text) {
  const std::string_view number = NumberStart(text);
  std::int32_t value = 0;
  const auto result = std::from_chars(number.data(), number.data() + number.size(), value);
  if (result.ec == std::errc::result_out_of_range) {
    return number.front() == '-' ? std::numeric_limits<std::int32_t>::min() : std::numeric_limits<std::int32_t>::max();
  }
  if (result.ec != std::errc{}) {
    return 0;
  }
  return value;
}

const char* TuningEnvironment::Find(const char* name) const {
  if (lookup_ != nullptr) {
    return lookup_(name);
  }
  return plugkit::platform::ReadEnvironmentVariable(name, text_.data(), text_.size()) ? text_.data() : nullptr;
}

bool TuningEnvironment::ReadReal(const char* name, double& value) const {
  const char* text = Find(name);
  if (text == nullptr) {
    return false;
  }
  const std::optional<double> parsed = ParseEnvReal(text);
  if (!parsed) {
    return false;
  }
  value = *parsed;
  return true;
}

bool TuningEnvironment::ReadInteger(const char* name, std::int32_t& value) const {
  const char* text = Find(name);
  if (text == nullptr) {
    return false;
  }
  value = ParseEnvInteger(text);
  return true;
}

}  // namespace tarnwell::dsp
