// Underruns of a playing device, said at most once a second: a burst of
// them is one line, not one line each.
#pragma once

#include <chrono>
#include <cstdint>
#include <string>

class UnderrunReport {
  public:
    using Clock = std::chrono::steady_clock;

    void Count() {
        ++total_;
        ++unsaid_;
    }
    // The line to say at now, or "" when there is nothing new or the last
    // line was less than a second ago.
    std::string Due(Clock::time_point now);
    int64_t total() const { return total_; }

  private:
    int64_t total_ = 0;
    int64_t unsaid_ = 0;
    Clock::time_point said_{};
    bool saidAny_ = false;
};
