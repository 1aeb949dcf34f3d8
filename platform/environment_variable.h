// Reading the live process environment: on Windows the process's own block, which the host may have
// changed since the module was loaded, rather than the C runtime's copy taken at start-up.
#pragma once

#include <cstddef>

namespace plugkit::platform {

// Copies the value of `name` into `buffer` as UTF-8 text, always terminated, and returns true; a
// value that does not fit reads as empty text. Returns false when the variable does not exist.
// Allocates nothing, so it may run on an audio thread.
bool ReadEnvironmentVariable(const char* name, char* buffer, std::size_t capacity);

}  // namespace plugkit::platform
