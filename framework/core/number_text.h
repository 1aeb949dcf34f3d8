// Locale-independent number text. Every number the framework writes for a host, the page
// (for example "SPVFD(%i, %f)"), a preset or a log goes through here, because printf's "%f"
// follows the process locale (a host may run with a comma decimal separator) and the Windows
// CRT rounds exact ties differently from glibc. std::to_chars / std::from_chars are exact,
// ignore the locale and give the same digits in both builds.
// All functions are allocation-free and may run on any thread.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string_view>

namespace plugkit {

// A formatted number in a fixed buffer, NUL-terminated.
class NumberText {
 public:
  // Fixed notation of the largest double (309 digits) with the largest precision, sign and point.
  static constexpr int32_t kMaxPrecision = 32;
  static constexpr int32_t kCapacity = 309 + kMaxPrecision + 3;

  const char* Text() const noexcept { return text_; }
  int32_t Length() const noexcept { return length_; }
  std::string_view View() const noexcept { return {text_, static_cast<std::size_t>(length_)}; }

 private:
  friend NumberText FormatFixed(double, int32_t, bool) noexcept;
  friend NumberText FormatInteger(int64_t) noexcept;

  char text_[kCapacity + 1] = {};
  int32_t length_ = 0;
};

// "%.*f" (forceSign: "%+.*f") in the C locale: decimal point '.', correctly rounded (ties to
// even on the exact binary value, as glibc). Precision is limited to 0..kMaxPrecision.
// Non-finite values give "nan", "-nan", "inf" or "-inf" (with forceSign "+nan", "+inf").
NumberText FormatFixed(double value, int32_t precision, bool forceSign = false) noexcept;

// "%d" / "%lld".
NumberText FormatInteger(int64_t value) noexcept;

// round(value) with halves away from zero, as an int32: NaN gives 0, values beyond the int32
// range give INT32_MIN or INT32_MAX.
int32_t RoundToInt32(double value) noexcept;

// The leading decimal number of text, read like strtod in the C locale: leading white space
// skipped, an optional '+' or '-', digits with an optional '.' fraction and exponent, or
// "inf", "infinity", "nan" (any case). Returns 0 when there is no number (and for a null
// text); a magnitude beyond the double range gives +-infinity, one below it +-0.
// consumed, when given, receives the count of characters read (0 when there was no number).
double ParseLeadingNumber(std::string_view text, std::size_t* consumed = nullptr) noexcept;
double ParseLeadingNumber(const char* text, std::size_t* consumed = nullptr) noexcept;

}  // namespace plugkit
