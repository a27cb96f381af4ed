#include "underrun_report.h"

std::string UnderrunReport::Due(Clock::time_point now) {
    if (unsaid_ == 0 || (saidAny_ && now - said_ < std::chrono::seconds(1)))
        return "";
    std::string line = what_ + " " + std::to_string(unsaid_) + (unsaid_ == 1 ? " time" : " times") +
                       " (" + std::to_string(total_) + " in all) and " + goesOn_;
    unsaid_ = 0;
    said_ = now;
    saidAny_ = true;
    return line;
}
