// Per-call latencies of a benchmark, reported as its counters: the median,
// the 99th percentile and the slowest call, in milliseconds.
#pragma once

#include <benchmark/benchmark.h>

#include <algorithm>
#include <chrono>
#include <vector>

class Latencies {
  public:
    void add(std::chrono::steady_clock::duration d) {
        ms_.push_back(std::chrono::duration<double, std::milli>(d).count());
    }

    void report(benchmark::State& state) {
        if (ms_.empty())
            return;
        std::sort(ms_.begin(), ms_.end());
        auto at = [&](double q) { return ms_[std::size_t(q * double(ms_.size() - 1) + 0.5)]; };
        state.counters["p50_ms"] = at(0.50);
        state.counters["p99_ms"] = at(0.99);
        state.counters["max_ms"] = ms_.back();
    }

  private:
    std::vector<double> ms_;
};
