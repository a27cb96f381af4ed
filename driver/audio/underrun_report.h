// Underruns of a playing device (or overruns of a capturing one), said at
// most once a second: a burst of them is one line, not one line each.
#pragma once

#include <chrono>
#include <cstdint>
#include <string>

class UnderrunReport {
  public:
    using Clock = std::chrono::steady_clock;

    // "<what> N times (M in all) and <goesOn>".
    explicit UnderrunReport(std::string what = "the sound device ran dry",
                            std::string goesOn = "plays on")
        : what_(std::move(what)), goesOn_(std::move(goesOn)) {}

    void Count() {
        ++total_;
        ++unsaid_;
    }
    // The line to say at now, or "" when there is nothing new or the last
    // line was less than a second ago.
    std::string Due(Clock::time_point now);
    int64_t total() const { return total_; }

  private:
    std::string what_, goesOn_;
    int64_t total_ = 0;
    int64_t unsaid_ = 0;
    Clock::time_point said_{};
    bool saidAny_ = false;
};
