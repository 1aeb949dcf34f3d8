#include "scoped_environment_variable.h"

#include <utility>

ScopedEnvironmentVariable::ScopedEnvironmentVariable(std::string name, const std::optional<std::string>& value)
    : name_(std::move(name)), saved_(ReadEnvironmentVariableForTest(name_)) {
  WriteEnvironmentVariable(name_, value);
}

ScopedEnvironmentVariable::~ScopedEnvironmentVariable() { WriteEnvironmentVariable(name_, saved_); }
