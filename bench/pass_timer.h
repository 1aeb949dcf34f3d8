#pragma once

#include <algorithm>
#include <chrono>
#include <cstddef>

// Runs `prepare` untimed and `timed` timed, `passes` times, and returns the fastest timed pass in
// nanoseconds divided by `frames`. Other work on a shared machine only ever adds time to a pass, so
// the fastest one is the least disturbed.
template <typename PrepareFn, typename TimedFn>
double FastestNanosecondsPerFrame(int passes, std::size_t frames, PrepareFn prepare, TimedFn timed) {
  double fastest = 0.0;
  for (int pass = 0; pass < std::max(passes, 1); ++pass) {
    prepare();
    const auto start = std::chrono::steady_clock::now();
    timed();
    const std::chrono::duration<double, std::nano> elapsed = std::chrono::steady_clock::now() - start;
    const double perFrame = elapsed.count() / static_cast<double>(std::max<std::size_t>(frames, 1));
    fastest = pass == 0 ? perFrame : std::min(fastest, perFrame);
  }
  return fastest;
}
