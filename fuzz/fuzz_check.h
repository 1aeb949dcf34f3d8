// What a fuzz target does when the code under test breaks a promise: says which and aborts,
// so that the fuzzer keeps the input as a crash.
#pragma once

#include <cstdio>
#include <cstdlib>

namespace tarnwell::fuzz {

[[noreturn]] inline void Broken(const char* promise) {
  std::fprintf(stderr, "broken promise: %s\n", promise);
  std::abort();
}

inline void Require(bool condition, const char* promise) {
  if (!condition) Broken(promise);
}

}  // namespace tarnwell::fuzz
