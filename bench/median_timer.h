#pragma once

#include <algorithm>
#include <chrono>
#include <cstddef>
#include <vector>

// Runs `prepare` untimed and `timed` timed, `passes` times, and returns the median of the timed
// spans in nanoseconds divided by `frames`.
template <typename PrepareFn, typename TimedFn>
double MedianNanosecondsPerFrame(int passes, std::size_t frames, PrepareFn prepare, TimedFn timed) {
    std::vector<double> spans;
    for (int pass = 0; pass < std::max(passes, 1); ++pass) {
        prepare();
        const auto start = std::chrono::steady_clock::now();
        timed();
        const std::chrono::duration<double, std::nano> elapsed = std::chrono::steady_clock::now() - start;
        spans.push_back(elapsed.count() / static_cast<double>(std::max<std::size_t>(frames, 1)));
    }
    std::sort(spans.begin(), spans.end());
    return spans[spans.size() / 2];
}
