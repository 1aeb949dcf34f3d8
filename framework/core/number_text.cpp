#include "framework/core/number_text.h"

#include <algorithm>
#include <charconv>
#include <cmath>
#include <cstring>
#include <limits>
#include <system_error>

namespace plugkit {
namespace {

bool IsSpace(char c) { return c == ' ' || (c >= '\t' && c <= '\r'); }
bool IsDigit(char c) { return c >= '0' && c <= '9'; }

// from_chars reports overflow and underflow alike; tell them apart by the decimal exponent
// of the first significant digit, which is far positive or far negative in those cases.
bool MagnitudeOverflows(std::string_view number) {
  std::size_t i = 0;
  int64_t integerDigits = 0;
  int64_t leadingFractionZeros = 0;
  bool significant = false;
  for (; i < number.size() && IsDigit(number[i]); ++i) {
    if (number[i] != '0') significant = true;
    if (significant) ++integerDigits;
  }
  if (i < number.size() && number[i] == '.') {
    for (++i; i < number.size() && IsDigit(number[i]); ++i) {
      if (significant) continue;
      if (number[i] != '0') {
        significant = true;
      } else {
        ++leadingFractionZeros;
      }
    }
  }
  int64_t exponent = 0;
  if (i < number.size() && (number[i] == 'e' || number[i] == 'E')) {
    ++i;
    bool negative = false;
    if (i < number.size() && (number[i] == '+' || number[i] == '-')) negative = number[i++] == '-';
    for (; i < number.size() && IsDigit(number[i]); ++i) {
      exponent = std::min<int64_t>(exponent * 10 + (number[i] - '0'), int64_t{1} << 40);
    }
    if (negative) exponent = -exponent;
  }
  const int64_t leading = integerDigits > 0 ? integerDigits - 1 : -(leadingFractionZeros + 1);
  return leading + exponent >= 0;
}

}  // namespace

NumberText FormatFixed(double value, int32_t precision, bool forceSign) noexcept {
  NumberText out;
  precision = std::clamp<int32_t>(precision, 0, NumberText::kMaxPrecision);
  char* first = out.text_;
  char* const last = out.text_ + NumberText::kCapacity;
  if (forceSign && !std::signbit(value)) *first++ = '+';
  const auto result = std::to_chars(first, last, value, std::chars_format::fixed, precision);
  // The capacity holds every double at kMaxPrecision, so the conversion cannot run out of room.
  char* end = result.ec == std::errc{} ? result.ptr : out.text_;
  *end = '\0';
  out.length_ = static_cast<int32_t>(end - out.text_);
  return out;
}

NumberText FormatInteger(int64_t value) noexcept {
  NumberText out;
  const auto result = std::to_chars(out.text_, out.text_ + NumberText::kCapacity, value);
  *result.ptr = '\0';
  out.length_ = static_cast<int32_t>(result.ptr - out.text_);
  return out;
}

int32_t RoundToInt32(double value) noexcept {
  if (std::isnan(value)) return 0;
  const double rounded = std::round(value);
  if (rounded <= static_cast<double>(std::numeric_limits<int32_t>::min())) return std::numeric_limits<int32_t>::min();
  if (rounded >= static_cast<double>(std::numeric_limits<int32_t>::max())) return std::numeric_limits<int32_t>::max();
  return static_cast<int32_t>(rounded);
}

double ParseLeadingNumber(std::string_view text, std::size_t* consumed) noexcept {
  if (consumed != nullptr) *consumed = 0;
  std::size_t i = 0;
  while (i < text.size() && IsSpace(text[i])) ++i;
  bool negative = false;
  if (i < text.size() && (text[i] == '+' || text[i] == '-')) negative = text[i++] == '-';
  // from_chars takes no sign of its own here: "+-1" and "--1" are not numbers.
  if (i >= text.size() || text[i] == '+' || text[i] == '-') return 0.0;

  const char* const first = text.data() + i;
  const char* const last = text.data() + text.size();
  double value = 0.0;
  const auto result = std::from_chars(first, last, value, std::chars_format::general);
  if (result.ec == std::errc::invalid_argument) return 0.0;
  if (result.ec == std::errc::result_out_of_range) {
    value = MagnitudeOverflows(std::string_view(first, static_cast<std::size_t>(result.ptr - first)))
                ? std::numeric_limits<double>::infinity()
                : 0.0;
  }
  if (consumed != nullptr) *consumed = static_cast<std::size_t>(result.ptr - text.data());
  return negative ? -value : value;
}

double ParseLeadingNumber(const char* text, std::size_t* consumed) noexcept {
  if (text == nullptr) {
    if (consumed != nullptr) *consumed = 0;
    return 0.0;
  }
  return ParseLeadingNumber(std::string_view(text), consumed);
}

}  // namespace plugkit
