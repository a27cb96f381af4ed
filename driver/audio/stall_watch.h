// A sound device that moves nothing (takes or captures no frame) for 5 s
// has gone, whatever it says: a sound server can take a second or two to
// take up a new stream, so a shorter wait would lose a device still starting.
#pragma once

#include <chrono>
#include <string>

class StallWatch {
  public:
    using Clock = std::chrono::steady_clock;
    static constexpr std::chrono::milliseconds kStall{5000};

    explicit StallWatch(Clock::time_point now) : moved_(now) {}
    // Frames went in or came out at now.
    void Moved(Clock::time_point now) { moved_ = now; }
    bool Stalled(Clock::time_point now) const { return now - moved_ >= kStall; }
    // Why the device is gone: "it took nothing for 5 seconds", did being "took".
    static std::string Why(const char* did) {
        return std::string("it ") + did + " nothing for " + std::to_string(kStall.count() / 1000) +
               " seconds";
    }

  private:
    Clock::time_point moved_;
};
