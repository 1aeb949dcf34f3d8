#pragma once

#include <optional>
#include <string>

// Sets (or, given no value, removes) a variable of the real process environment for its lifetime and
// restores what was there before. The environment is global to the process: tests that use it must
// not run concurrently with others that read the same variable.
class ScopedEnvironmentVariable {
 public:
  ScopedEnvironmentVariable(std::string name, const std::optional<std::string>& value);
  ~ScopedEnvironmentVariable();
  ScopedEnvironmentVariable(const ScopedEnvironmentVariable&) = delete;
  ScopedEnvironmentVariable& operator=(const ScopedEnvironmentVariable&) = delete;

 private:
  std::string name_;
  std::optional<std::string> saved_;
};

// The platform's own setter: on Windows the process environment block, not the C runtime's copy.
void WriteEnvironmentVariable(const std::string& name, const std::optional<std::string>& value);
std::optional<std::string> ReadEnvironmentVariableForTest(const std::string& name);
