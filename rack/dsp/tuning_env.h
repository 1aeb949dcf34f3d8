#pragma once

#include <cstdint>
#include <string_view>

// Tuning overrides come from TARNWELL_ variables. They are read only while preparing (which may run on
// the audio thread, so reading is a plain lookup without allocation) and never while processing.
// Each block reads its own variables in its prepare step through a TuningEnvironment.

using EnvLookup = const char* (*)(const char* name);

// The process environment; the default lookup.
const char* ProcessEnvironment(const char* name);

// Leading numeric text after optional blanks, in the C locale whatever the process locale is;
// text without a leading number, and numbers that do not fit, give 0.
double ParseEnvReal(std::string_view text);
std::int32_t ParseEnvInteger(std::string_view text);

class TuningEnvironment {
public:
    explicit TuningEnvironment(EnvLookup lookup = &ProcessEnvironment) : lookup_(lookup) {}

    // Each writes `value` only when the variable exists and returns whether it did, so a value once
    // read stays until a later prepare finds the variable again.
    bool ReadReal(const char* name, double& value) const;
    bool ReadInteger(const char* name, std::int32_t& value) const;

private:
    EnvLookup lookup_;
};
