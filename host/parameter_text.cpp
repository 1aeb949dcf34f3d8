#include "host/parameter_text.h"

#include <algorithm>
#include <cctype>
#include <charconv>
#include <cmath>
#include <optional>
#include <vector>

#include "host/text.h"

namespace tarnwell::host {
namespace {

using namespace Steinberg;
using namespace Steinberg::Vst;

std::string Trimmed(const std::string& text) {
  const auto notSpace = [](unsigned char c) { return !std::isspace(c); };
  const auto first = std::find_if(text.begin(), text.end(), notSpace);
  const auto last = std::find_if(text.rbegin(), text.rend(), notSpace).base();
  return first < last ? std::string(first, last) : std::string();
}

std::string Folded(const std::string& text) {
  std::string out = Trimmed(text);
  for (char& c : out) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
  return out;
}

struct LeadingNumber {
  double value;
  int decimals;  // digits after the point, as displayed
};

// The number a text starts with ("-3.5 dB", "+2", "75"), if it starts with one.
std::optional<LeadingNumber> NumberAtStart(const std::string& text) {
  std::string trimmed = Trimmed(text);
  if (!trimmed.empty() && trimmed[0] == '+') trimmed.erase(0, 1);
  double value = 0;
  const char* begin = trimmed.data();
  const auto [end, ec] = std::from_chars(begin, begin + trimmed.size(), value, std::chars_format::fixed);
  if (ec != std::errc() || !std::isfinite(value)) return std::nullopt;
  const std::string digits(begin, end);
  const size_t point = digits.find('.');
  const int decimals = point == std::string::npos ? 0 : static_cast<int>(digits.size() - point - 1);
  return LeadingNumber{value, decimals};
}

bool Fail(std::string* error, const std::string& text) {
  if (error) *error = text;
  return false;
}

}  // namespace

bool ParameterValueFromText(IEditController* controller, ParamID id, const std::string& name, const std::string& text,
                            double* normalised, std::string* error) {
  std::u16string wide = Utf8ToUtf16(text);
  std::vector<TChar> buffer(wide.begin(), wide.end());
  buffer.push_back(0);
  ParamValue value = 0;
  if (controller->getParamValueByString(id, buffer.data(), value) != kResultOk)
    return Fail(error, "the plug-in cannot read \"" + text + "\" for " + name);
  String128 shown{};
  if (controller->getParamStringByValue(id, value, shown) != kResultOk)
    return Fail(error, "the plug-in cannot show a value of " + name);
  const std::string back = Utf16ToUtf8(shown, 128);

  bool same = Folded(back) == Folded(text);
  if (!same) {
    const auto typed = NumberAtStart(text), read = NumberAtStart(back);
    same = typed && read && std::fabs(typed->value - read->value) <= 0.5 * std::pow(10.0, -read->decimals) + 1e-9;
  }
  if (!same) return Fail(error, "\"" + text + "\" is not a value of " + name + " (it reads back as \"" + back + "\")");
  *normalised = value;
  return true;
}

}  // namespace tarnwell::host
