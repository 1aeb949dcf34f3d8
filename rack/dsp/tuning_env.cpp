#include "rack/dsp/tuning_env.h"

#include <charconv>
#include <cmath>
#include <cstdlib>
#include <system_error>

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

const char* ProcessEnvironment(const char* name) {
    return std::getenv(name);
}

double ParseEnvReal(std::string_view text) {
    const std::string_view number = NumberStart(text);
    double value = 0.0;
    const auto result =
        std::from_chars(number.data(), number.data() + number.size(), value, std::chars_format::general);
    if (result.ec != std::errc{} || !std::isfinite(value)) {
        return 0.0;
    }
    return value;
}

std::int32_t ParseEnvInteger(std::string_view text) {
    const std::string_view number = NumberStart(text);
    std::int32_t value = 0;
    const auto result = std::from_chars(number.data(), number.data() + number.size(), value);
    if (result.ec != std::errc{}) {
        return 0;
    }
    return value;
}

bool TuningEnvironment::ReadReal(const char* name, double& value) const {
    const char* text = lookup_(name);
    if (text == nullptr) {
        return false;
    }
    value = ParseEnvReal(text);
    return true;
}

bool TuningEnvironment::ReadInteger(const char* name, std::int32_t& value) const {
    const char* text = lookup_(name);
    if (text == nullptr) {
        return false;
    }
    value = ParseEnvInteger(text);
    return true;
}
