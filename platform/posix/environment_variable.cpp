#include "platform/environment_variable.h"

#include <cstdlib>
#include <cstring>

namespace plugkit::platform {

bool ReadEnvironmentVariable(const char* name, char* buffer, std::size_t capacity) {
  const char* value = std::getenv(name);
  if (value == nullptr) return false;
  if (capacity == 0) return true;
  const std::size_t length = std::strlen(value);
  const std::size_t copied = length < capacity ? length : 0;
  std::memcpy(buffer, value, copied);
  buffer[copied] = '\0';
  return true;
}

}  // namespace plugkit::platform
