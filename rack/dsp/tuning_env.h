#pragma once

#include <array>
#include <cstdint>
#include <optional>
#include <string_view>

namespace tarnwell::dsp {

// Tuning overrides come from TARNWELL_ variables. They are read only while preparing (which may run on
// the audio thread, so reading is a plain lookup without allocation) and never while processing.
// The engine reads them once per prepare through a TuningEnvironment and hands them to every bay.

// A stand-in for the process environment (tests): the variable's text, or nullptr when it is absent.
using EnvLookup = const char* (*)(const char* name);

// Leading numeric text after optional blanks and sign, with '.' as the decimal point whatever the
// process locale is; text without a leading number gives 0. A real number that is not finite ("inf",
// "nan", or beyond the range of a double) gives no value; integers saturate to the int32 range.
std::optional<double> ParseEnvReal(std::string_view text);
std::int32_t ParseEnvInteger(std::string_view text);

class TuningEnvironment {
 public:
  // Without a lookup it reads the live process environment.
  explicit TuningEnvironment(EnvLookup lookup = nullptr) : lookup_(lookup) {}

  // Each writes `value` only when the variable exists and its value is usable, and returns whether
  // it did, so a value once read stays until a later prepare finds the variable again.
  bool ReadReal(const char* name, double& value) const;
  bool ReadInteger(const char* name, std::int32_t& value) const;

 private:
  const char* Find(const char* name) const;

  EnvLookup lookup_;
  // The text of the last variable read from the live environment.
  mutable std::array<char, 256> text_{};
};

}  // namespace tarnwell::dsp
